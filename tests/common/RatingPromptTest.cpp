#include "GameFixture.h"
#include "RatingPrompt/RatingPrompt.h"
#include <pf/Alert.h>
#include <pf/MainThreadQueue.h>
#include <pf/UserDefaults.h>
#include <gtest/gtest.h>
#include <atomic>
#include <fstream>
#include <thread>

using pf::UserDefaults;

namespace
{
const char* const kRoutesHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char* const kIPv4Default = "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
const char* const kIPv4DefaultDown = "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n";
const char* const kIPv4Subnet = "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
const char* const kIPv6Default =
	"00000000000000000000000000000000 00 00000000000000000000000000000000 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003 eth0\n";
// The kernel's rejecting catch-all on the loopback device.
const char* const kIPv6LoopbackReject =
	"00000000000000000000000000000000 00 00000000000000000000000000000000 00 00000000000000000000000000000000 ffffffff 00000001 00000000 00200200 lo\n";
const char* const kIPv6Local =
	"fe800000000000000000000000000000 40 00000000000000000000000000000000 00 00000000000000000000000000000000 00000100 00000001 00000000 00000001 eth0\n";

const double kStart = 1.7e9;
const double kDay = 86400.0;

class RatingPromptTest : public ::testing::Test
{
protected:
	ScratchDir m_dir;
	RatingPrompt& m_prompt = RatingPrompt::sharedInstance();
	double m_now = kStart;
	std::vector<std::string> m_opened;
	std::vector<std::string> m_titles;
	int m_answer = -1;

	RatingPromptTest()
	{
		setenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").c_str(), 1);
		pf::MainThreadQueue::runPending();
		m_prompt.setClock([this] { return m_now; });
		m_prompt.setBundleVersion("1.0");
		setRoutes(std::string(kRoutesHeader) + kIPv4Default, "");
		m_prompt.setURLOpener([this](const std::string& url) {
			m_opened.push_back(url);
			return true;
		});
		pf::Alert::setPresenter([this](const std::string& title, const std::string& message, const std::vector<std::string>& buttons) {
			m_titles.push_back(title);
			EXPECT_EQ("", message);
			EXPECT_EQ((std::vector<std::string>{"No, Thanks", "Rate Now", "Remind me later"}), buttons);
			return m_answer;
		});
	}

	~RatingPromptTest() override
	{
		RatingPrompt::joinThreads();
		m_prompt.hideRatingAlert();
		pf::MainThreadQueue::runPending();
		pf::Alert::setPresenter(nullptr);
		m_prompt.resetSeams();
		unsetenv("XDG_CONFIG_HOME");
	}

	/** Writes the two route tables; null leaves a table missing. */
	void setRoutes(const char* ipv4, const char* ipv6)
	{
		const std::string v4 = m_dir.path() + "/route", v6 = m_dir.path() + "/ipv6_route";
		std::remove(v4.c_str());
		std::remove(v6.c_str());
		if (ipv4)
			std::ofstream(v4) << ipv4;
		if (ipv6)
			std::ofstream(v6) << ipv6;
		m_prompt.setRouteTables(v4, v6);
	}
	void setRoutes(const std::string& ipv4, const std::string& ipv6) { setRoutes(ipv4.c_str(), ipv6.c_str()); }

	/** A launch on the calling thread; then the main thread's turn. Answers whether the alert showed. */
	bool launch()
	{
		const size_t shown = m_titles.size();
		m_prompt.incrementAndRate(true);
		pf::MainThreadQueue::runPending();
		return m_titles.size() > shown;
	}

	/** Launches n times; answers how many showed the alert. */
	int launches(int n)
	{
		int shown = 0;
		for (int i = 0; i < n; ++i)
			shown += launch() ? 1 : 0;
		return shown;
	}
};
}

TEST_F(RatingPromptTest, TwentyFirstLaunchThreeDaysOnShowsThePrompt)
{
	EXPECT_EQ(0, launches(20));
	m_now += 3 * kDay;
	EXPECT_EQ(20, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_TRUE(launch());
	ASSERT_EQ(1u, m_titles.size());
	EXPECT_EQ("If you like Zephyra, please rate it.", m_titles[0]);
	EXPECT_EQ(21, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_EQ(kStart, UserDefaults::getNumber(RatingPrompt::kFirstUseDate));
	EXPECT_EQ("1.0", UserDefaults::getString(RatingPrompt::kCurrentVersion));
	// Headless (-1): nothing is recorded, so the next launch asks again.
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kDeclinedToRate));
	EXPECT_TRUE(launch());
}

TEST_F(RatingPromptTest, ConditionsTable)
{
	struct Case
	{
		const char* what;
		double uses, sinceFirst, significant, sinceReminder;
		bool declined, rated, met;
	};
	const double never = kStart; // a reminder date of 0 lies far back
	const Case cases[] = {
		{"all met", 21, 3 * kDay, 0, never, false, false, true},
		{"one use short", 20, 3 * kDay, 0, never, false, false, false},
		{"a second short of 3 days", 21, 3 * kDay - 1, 0, never, false, false, false},
		{"declined", 40, 9 * kDay, 0, never, true, false, false},
		{"rated", 40, 9 * kDay, 0, never, false, true, false},
		{"reminded less than a day ago", 40, 9 * kDay, 0, kDay - 1, false, false, false},
		{"reminded a day ago", 40, 9 * kDay, 0, kDay, false, false, true},
	};
	for (const Case& c : cases)
	{
		UserDefaults::setNumber(RatingPrompt::kUseCount, c.uses);
		UserDefaults::setNumber(RatingPrompt::kFirstUseDate, m_now - c.sinceFirst);
		UserDefaults::setNumber(RatingPrompt::kSignificantEventCount, c.significant);
		UserDefaults::setNumber(RatingPrompt::kReminderRequestDate, c.sinceReminder == never ? 0 : m_now - c.sinceReminder);
		UserDefaults::setBoolean(RatingPrompt::kDeclinedToRate, c.declined);
		UserDefaults::setBoolean(RatingPrompt::kRatedCurrentVersion, c.rated);
		EXPECT_EQ(c.met, m_prompt.ratingConditionsHaveBeenMet()) << c.what;
	}
}

TEST_F(RatingPromptTest, AnswersAreRecorded)
{
	launches(21);
	m_now += 3 * kDay;

	// Remind me later: quiet for a day, then asked again.
	m_answer = RatingPrompt::BUTTON_REMIND_LATER;
	EXPECT_TRUE(launch());
	EXPECT_EQ(m_now, UserDefaults::getNumber(RatingPrompt::kReminderRequestDate));
	m_now += kDay - 1;
	EXPECT_FALSE(launch());
	m_now += 1;

	// Rate now: marked rated, the review page opened, never asked again for this version.
	m_answer = RatingPrompt::BUTTON_RATE_NOW;
	EXPECT_TRUE(launch());
	EXPECT_TRUE(UserDefaults::getBoolean(RatingPrompt::kRatedCurrentVersion));
	ASSERT_EQ(1u, m_opened.size());
	EXPECT_EQ(RatingPrompt::reviewURL(), m_opened[0]);
	EXPECT_EQ(0u, m_opened[0].find("itms-apps://"));
	EXPECT_NE(std::string::npos, m_opened[0].find("/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id="));
	EXPECT_EQ(std::string::npos, m_opened[0].find("APP_ID"));
	m_now += 30 * kDay;
	EXPECT_EQ(0, launches(3));

	// A new version starts over: its own 21 launches and 3 days, then No, Thanks for good.
	m_prompt.setBundleVersion("2.0");
	EXPECT_FALSE(launch());
	EXPECT_EQ(1, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kRatedCurrentVersion));
	EXPECT_EQ(0, launches(20));
	m_now += 3 * kDay;
	m_answer = RatingPrompt::BUTTON_NO_THANKS;
	EXPECT_TRUE(launch());
	EXPECT_TRUE(UserDefaults::getBoolean(RatingPrompt::kDeclinedToRate));
	m_now += 30 * kDay;
	EXPECT_FALSE(launch());
	EXPECT_EQ(1u, m_opened.size());
}

TEST_F(RatingPromptTest, VersionChangeResetsEveryCounter)
{
	UserDefaults::setString(RatingPrompt::kCurrentVersion, "0.9");
	UserDefaults::setNumber(RatingPrompt::kUseCount, 50);
	UserDefaults::setNumber(RatingPrompt::kSignificantEventCount, 7);
	UserDefaults::setNumber(RatingPrompt::kFirstUseDate, 5);
	UserDefaults::setBoolean(RatingPrompt::kRatedCurrentVersion, true);
	UserDefaults::setBoolean(RatingPrompt::kDeclinedToRate, true);
	UserDefaults::setNumber(RatingPrompt::kReminderRequestDate, 9);
	m_prompt.incrementSignificantEventCount();
	EXPECT_EQ("1.0", UserDefaults::getString(RatingPrompt::kCurrentVersion));
	EXPECT_EQ(0, UserDefaults::getNumber(RatingPrompt::kFirstUseDate));
	EXPECT_EQ(0, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_EQ(1, UserDefaults::getNumber(RatingPrompt::kSignificantEventCount));
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kRatedCurrentVersion));
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kDeclinedToRate));
	EXPECT_EQ(0, UserDefaults::getNumber(RatingPrompt::kReminderRequestDate));

	// Same version: a launch sets the missing first-use date and counts.
	m_now += 10;
	m_prompt.incrementUseCount();
	EXPECT_EQ(kStart + 10, UserDefaults::getNumber(RatingPrompt::kFirstUseDate));
	EXPECT_EQ(1, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_EQ(1, UserDefaults::getNumber(RatingPrompt::kSignificantEventCount));

	m_prompt.setBundleVersion("1.1");
	m_now += 10;
	m_prompt.incrementUseCount();
	EXPECT_EQ("1.1", UserDefaults::getString(RatingPrompt::kCurrentVersion));
	EXPECT_EQ(kStart + 20, UserDefaults::getNumber(RatingPrompt::kFirstUseDate));
	EXPECT_EQ(1, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_EQ(0, UserDefaults::getNumber(RatingPrompt::kSignificantEventCount));
}

TEST_F(RatingPromptTest, ConcurrentCountsLoseNothing)
{
	const int threads = 8, each = 40;
	std::vector<std::thread> workers;
	for (int t = 0; t < threads; ++t)
		workers.emplace_back([&, t] {
			for (int i = 0; i < each; ++i)
			{
				if (t % 2)
					m_prompt.incrementSignificantEventCount();
				else
					m_prompt.incrementUseCount();
			}
		});
	for (std::thread& w : workers)
		w.join();
	// The class operations each start a counting thread; joining waits for all of them.
	for (int i = 0; i < 6; ++i)
		RatingPrompt::appLaunched(false);
	RatingPrompt::userDidSignificantEvent(false);
	RatingPrompt::joinThreads();
	EXPECT_EQ(threads / 2 * each + 6, UserDefaults::getNumber(RatingPrompt::kUseCount));
	EXPECT_EQ(threads / 2 * each + 1, UserDefaults::getNumber(RatingPrompt::kSignificantEventCount));
	EXPECT_EQ(0, pf::MainThreadQueue::pending());
}

TEST_F(RatingPromptTest, RouteTables)
{
	const std::string h = kRoutesHeader;
	struct Case
	{
		const char* what;
		std::string ipv4;
		std::string ipv6;
		bool missing4, missing6, connected;
	};
	const Case cases[] = {
		{"IPv4 default route", h + kIPv4Subnet + kIPv4Default, "", false, false, true},
		{"IPv4 default route down", h + kIPv4DefaultDown + kIPv4Subnet, "", false, false, false},
		{"only a local subnet", h + kIPv4Subnet, kIPv6Local, false, false, false},
		{"loopback reject is no way out", h, kIPv6LoopbackReject, false, false, false},
		{"IPv6 default route only", h, std::string(kIPv6LoopbackReject) + kIPv6Default, false, false, true},
		{"no IPv6 table", h + kIPv4Default, "", false, true, true},
		{"garbled lines are skipped", h + "eth0 zz\n\n" + "x\tyy\tzz\tqq\t0\t0\t0\t00000000\n" + kIPv4Default, "junk\n", false, false, true},
		{"header only", h, "", false, true, false},
	};
	for (const Case& c : cases)
	{
		setRoutes(c.missing4 ? nullptr : c.ipv4.c_str(), c.missing6 ? nullptr : c.ipv6.c_str());
		testing::internal::CaptureStdout();
		EXPECT_EQ(c.connected, m_prompt.connectedToNetwork()) << c.what;
		EXPECT_EQ("", testing::internal::GetCapturedStdout()) << c.what;
	}

	// Neither table readable: logged, not connected, and no prompt even when due.
	setRoutes(nullptr, nullptr);
	launches(21);
	m_now += 3 * kDay;
	testing::internal::CaptureStdout();
	EXPECT_FALSE(launch());
	EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("Error. Could not recover network reachability flags\n"));
}

TEST_F(RatingPromptTest, HiddenAlertRecordsNothing)
{
	launches(21);
	m_now += 3 * kDay;
	m_answer = RatingPrompt::BUTTON_NO_THANKS;
	// Posted, then the game goes to the background before the main thread's turn.
	m_prompt.incrementAndRate(true);
	EXPECT_TRUE(m_prompt.alertPending());
	RatingPrompt::appWillResignActive();
	EXPECT_FALSE(m_prompt.alertPending());
	pf::MainThreadQueue::runPending();
	EXPECT_TRUE(m_titles.empty());

	// Hidden while on screen: the answer that comes back afterwards does not count.
	pf::Alert::setPresenter([this](const std::string&, const std::string&, const std::vector<std::string>&) {
		m_titles.push_back("shown");
		RatingPrompt::appWillResignActive();
		return static_cast<int>(RatingPrompt::BUTTON_NO_THANKS);
	});
	EXPECT_TRUE(launch());
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kDeclinedToRate));
	EXPECT_FALSE(UserDefaults::getBoolean(RatingPrompt::kRatedCurrentVersion));
	EXPECT_EQ(0, UserDefaults::getNumber(RatingPrompt::kReminderRequestDate));
}

TEST_F(RatingPromptTest, NoPromptWhenTheCallerForbidsIt)
{
	launches(21);
	m_now += 3 * kDay;
	m_prompt.incrementAndRate(false);
	EXPECT_EQ(0, pf::MainThreadQueue::pending());
	EXPECT_EQ(22, UserDefaults::getNumber(RatingPrompt::kUseCount));
}
