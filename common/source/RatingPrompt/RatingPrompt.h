#ifndef RATINGPROMPT_RATINGPROMPT_H
#define RATINGPROMPT_RATINGPROMPT_H

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/**
 * Counts launches and significant events per application version in the
 * user defaults and, once the player has used this version long enough,
 * asks once whether they would rate the game. The counting runs on a thread
 * of its own; the alert is shown through the main-thread queue.
 */
class RatingPrompt
{
public:
	/** Seconds since 1970. */
	typedef std::function<double()> Clock;
	typedef std::function<bool(const std::string& url)> URLOpener;

	static const char* const kFirstUseDate;
	static const char* const kUseCount;
	static const char* const kSignificantEventCount;
	static const char* const kCurrentVersion;
	static const char* const kRatedCurrentVersion;
	static const char* const kDeclinedToRate;
	static const char* const kReminderRequestDate;

	static const double kDaysUntilPromptSeconds;
	static const int kUsesUntilPrompt;
	static const int kSignificantEventsUntilPrompt;
	static const double kReminderDelaySeconds;

	/** Alert buttons, by index. */
	enum Button
	{
		BUTTON_NO_THANKS = 0,
		BUTTON_RATE_NOW = 1,
		BUTTON_REMIND_LATER = 2
	};

	/** The one instance the class operations use. */
	static RatingPrompt& sharedInstance();

	/** appLaunched(true). */
	static void appLaunched();
	/** Counts a launch on a new thread; may show the prompt when canPrompt. */
	static void appLaunched(bool canPrompt);
	static void appEnteredForeground(bool canPrompt);
	/** Counts a significant event on a new thread; may show the prompt when canPrompt. */
	static void userDidSignificantEvent(bool canPrompt);
	/** Hides a pending or visible alert without recording an answer. */
	static void appWillResignActive();
	/** Marks this version rated and opens the store's review page. */
	static void rateApp();
	/** Waits for every counting thread started so far. */
	static void joinThreads();

	void incrementAndRate(bool canPrompt);
	void incrementSignificantEventAndRate(bool canPrompt);
	void incrementUseCount();
	void incrementSignificantEventCount();
	bool ratingConditionsHaveBeenMet();
	/**
	 * True when an up default route exists in the IPv4 or IPv6 route table;
	 * no connection is opened. Neither table readable: logged, false.
	 */
	bool connectedToNetwork();
	/** Posts the alert to the main-thread queue. */
	void showRatingAlert();
	/** The alert's answer: records it (or nothing for -1 and unknown indexes). */
	void alertClicked(int buttonIndex);
	void hideRatingAlert();
	/** An alert is posted or shown and not answered yet. */
	bool alertPending() const;

	/** The review page address. */
	static std::string reviewURL();
	static std::string alertTitle();

	// Seams: tests set the clock, version, route tables and the opener; empty restores the default.
	void setClock(Clock clock);
	void setBundleVersion(const std::string& version);
	void setRouteTables(const std::string& ipv4, const std::string& ipv6);
	void setURLOpener(URLOpener opener);
	/** Restores every seam to its default. */
	void resetSeams();

	double now() const;
	std::string bundleVersion() const;

private:
	RatingPrompt();
	RatingPrompt(const RatingPrompt&) = delete;
	RatingPrompt& operator=(const RatingPrompt&) = delete;

	static void startThread(std::function<void()> work);
	/** One locked read-modify-write of a counter; a new version resets every count first. */
	void incrementCounter(const char* counter);
	void rateThisApp();

	mutable std::mutex m_seamLock;
	Clock m_clock;
	std::string m_bundleVersion;
	std::string m_ipv4Routes;
	std::string m_ipv6Routes;
	URLOpener m_opener;

	mutable std::mutex m_alertLock;
	// Raised when the alert is posted; a hide lowers it, and the queued task then shows nothing.
	bool m_alertPending;
	unsigned m_alertSerial;

	// Serialises the counters' read-modify-write: two counting threads would lose a count otherwise.
	std::mutex m_countLock;

	std::mutex m_threadLock;
	std::vector<std::thread> m_threads;
};

#endif
