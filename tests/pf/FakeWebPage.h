#ifndef TESTS_PF_FAKEWEBPAGE_H
#define TESTS_PF_FAKEWEBPAGE_H

// A scripted web page: the test plays the engine's part, answering
// evaluations and raising navigations and load events by hand.
#include <pf/WebPage.h>
#include <pf/WebView.h>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace fakeweb
{
struct FakePage;

/** Pages made since the last install(), the live ones non-null. */
inline std::vector<FakePage*>& pages()
{
	static std::vector<FakePage*> list;
	return list;
}

struct FakePage : pf::WebPage
{
	struct Pending
	{
		std::string script;
		Evaluated done;
	};

	pf::WebPageListener* listener = nullptr;
	std::vector<std::string> loads; // "url:<u>" or "html:<base>"
	std::string lastHtml;
	std::vector<std::string> scripts; // every evaluation asked for
	std::deque<Pending> pending;
	bool visible = true;
	int reloads = 0;
	/** Runs inside runUntil, before the test's answer; may raise events. */
	std::function<void(FakePage&)> onWait;
	size_t index;

	/** False once the page is gone: an answer may destroy it. */
	std::shared_ptr<bool> alive = std::make_shared<bool>(true);

	FakePage() : index(pages().size()) { pages().push_back(this); }
	~FakePage() override
	{
		*alive = false;
		pages()[index] = nullptr;
	}

	void setListener(pf::WebPageListener* l) override { listener = l; }
	void loadUrl(const std::string& url) override { loads.push_back("url:" + url); }
	void loadHtml(const std::string& html, const std::string& baseUrl) override
	{
		loads.push_back("html:" + baseUrl);
		lastHtml = html;
	}
	void reload() override { ++reloads; }
	void evaluate(const std::string& script, Evaluated done) override
	{
		scripts.push_back(script);
		pending.push_back({script, std::move(done)});
	}
	void setVisible(bool v) override { visible = v; }
	bool runUntil(const std::function<bool()>& done, int) override
	{
		if (onWait)
			onWait(*this);
		return done();
	}

	/** Finishes the oldest evaluation; ok false = no result. */
	void answer(bool ok, const std::string& result = "")
	{
		Pending p = std::move(pending.front());
		pending.pop_front();
		if (p.done)
			p.done(ok, result);
	}
	/** Finishes every evaluation, "document.title" with title, the others without result. */
	void answerAll(const std::string& title)
	{
		std::shared_ptr<bool> living = alive;
		while (*living && !pending.empty())
		{
			const bool isTitle = pending.front().script == "document.title";
			answer(isTitle, isTitle ? title : "");
		}
	}
	/** A navigation; returns 1 allowed, 0 refused, -1 not answered (yet). */
	int navigate(const std::string& url, bool linkClick)
	{
		auto answer = std::make_shared<int>(-1);
		listener->decideNavigation(url, linkClick, [answer](bool allow) { *answer = allow ? 1 : 0; });
		return *answer;
	}
};

/** Makes pf::WebView use fake pages. */
inline void install()
{
	pages().clear();
	pf::WebView::setPageFactory(
		[](int, int, int, int) { return std::unique_ptr<pf::WebPage>(new FakePage()); }, nullptr);
}

inline void uninstall()
{
	pf::WebView::setPageFactory(nullptr, nullptr);
	pf::WebView::setUrlOpener(nullptr);
}

inline FakePage& lastPage()
{
	return *pages().back();
}
}

#endif
