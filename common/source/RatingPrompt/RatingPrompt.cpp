#include "RatingPrompt.h"
#include <analytics/AnalyticsDevice.h>
#include <lang/Debug.h>
#include <pf/Alert.h>
#include <pf/Launcher.h>
#include <pf/MainThreadQueue.h>
#include <pf/UserDefaults.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/time.h>

namespace
{
// The store page of this deployment.
const char* const kReviewHost = "reviews.tarvel.example";
const int kStoreId = 604311927;
const char* const kReviewTemplate = "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id=APP_ID";
const char* const kDisplayName = "Zephyra";

const char* const kIPv4Routes = "/proc/net/route";
const char* const kIPv6Routes = "/proc/net/ipv6_route";

// Route flags of <linux/route.h> and <linux/ipv6_route.h>.
const unsigned long kRouteUp = 0x0001;
const unsigned long kRouteReject = 0x0200;

double systemNow()
{
	timeval tv;
	gettimeofday(&tv, nullptr);
	return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

bool allZeros(const std::string& hex)
{
	return !hex.empty() && hex.find_first_not_of('0') == std::string::npos;
}

bool parseHex(const std::string& text, unsigned long& value)
{
	if (text.empty() || text.size() > 8)
		return false;
	char* end = nullptr;
	value = std::strtoul(text.c_str(), &end, 16);
	return end && *end == 0;
}

/** Whether the IPv4 table holds an up default route; false when unreadable (readable tells). */
bool ipv4DefaultRoute(const std::string& path, bool& readable)
{
	std::ifstream in(path);
	readable = static_cast<bool>(in);
	std::string line;
	// Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT; the first line names them.
	bool header = true;
	while (std::getline(in, line))
	{
		if (header)
		{
			header = false;
			continue;
		}
		std::istringstream fields(line);
		std::string iface, destination, gateway, flagText, refs, use, metric, mask;
		if (!(fields >> iface >> destination >> gateway >> flagText >> refs >> use >> metric >> mask))
			continue;
		unsigned long flags = 0;
		if (!parseHex(flagText, flags) || destination.size() != 8 || mask.size() != 8)
			continue;
		if (allZeros(destination) && allZeros(mask) && (flags & kRouteUp) && !(flags & kRouteReject) && iface != "lo")
			return true;
	}
	return false;
}

/** The same for the IPv6 table (no header; the interface is the last column). */
bool ipv6DefaultRoute(const std::string& path, bool& readable)
{
	std::ifstream in(path);
	readable = static_cast<bool>(in);
	std::string line;
	while (std::getline(in, line))
	{
		std::istringstream fields(line);
		std::string destination, prefix, source, sourcePrefix, nextHop, metric, refs, use, flagText, iface;
		if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refs >> use >> flagText >> iface))
			continue;
		unsigned long flags = 0;
		if (!parseHex(flagText, flags) || destination.size() != 32)
			continue;
		// The kernel keeps a rejecting catch-all on lo: that is no way out.
		if (allZeros(destination) && allZeros(prefix) && (flags & kRouteUp) && !(flags & kRouteReject) && iface != "lo")
			return true;
	}
	return false;
}
}

const char* const RatingPrompt::kFirstUseDate = "kRatingPromptFirstUseDate";
const char* const RatingPrompt::kUseCount = "kRatingPromptUseCount";
const char* const RatingPrompt::kSignificantEventCount = "kRatingPromptSignificantEventCount";
const char* const RatingPrompt::kCurrentVersion = "kRatingPromptCurrentVersion";
const char* const RatingPrompt::kRatedCurrentVersion = "kRatingPromptRatedCurrentVersion";
const char* const RatingPrompt::kDeclinedToRate = "kRatingPromptDeclinedToRate";
const char* const RatingPrompt::kReminderRequestDate = "kRatingPromptReminderRequestDate";

const double RatingPrompt::kDaysUntilPromptSeconds = 259200.0;
const int RatingPrompt::kUsesUntilPrompt = 21;
const int RatingPrompt::kSignificantEventsUntilPrompt = 0;
const double RatingPrompt::kReminderDelaySeconds = 86400.0;

RatingPrompt::RatingPrompt() : m_alertPending(false), m_alertSerial(0)
{
	resetSeams();
}

RatingPrompt& RatingPrompt::sharedInstance()
{
	// Made once, thread-safely; it lives as long as the process, so queued alerts may refer to it.
	static RatingPrompt* instance = new RatingPrompt();
	return *instance;
}

void RatingPrompt::appLaunched()
{
	appLaunched(true);
}

void RatingPrompt::appLaunched(bool canPrompt)
{
	startThread([canPrompt] { sharedInstance().incrementAndRate(canPrompt); });
}

void RatingPrompt::appEnteredForeground(bool canPrompt)
{
	appLaunched(canPrompt);
}

void RatingPrompt::userDidSignificantEvent(bool canPrompt)
{
	startThread([canPrompt] { sharedInstance().incrementSignificantEventAndRate(canPrompt); });
}

void RatingPrompt::appWillResignActive()
{
	sharedInstance().hideRatingAlert();
}

void RatingPrompt::rateApp()
{
	sharedInstance().rateThisApp();
}

void RatingPrompt::startThread(std::function<void()> work)
{
	RatingPrompt& self = sharedInstance();
	std::lock_guard<std::mutex> guard(self.m_threadLock);
	self.m_threads.emplace_back([work] {
		// Nothing may leave a thread function: the process would end.
		try
		{
			work();
		}
		catch (const std::exception& e)
		{
			lang::Debug::printf("RatingPrompt: counting failed: %s\n", e.what());
		}
		catch (...)
		{
			lang::Debug::printf("RatingPrompt: counting failed\n");
		}
	});
}

void RatingPrompt::joinThreads()
{
	RatingPrompt& self = sharedInstance();
	std::vector<std::thread> threads;
	{
		std::lock_guard<std::mutex> guard(self.m_threadLock);
		threads.swap(self.m_threads);
	}
	for (std::thread& t : threads)
		t.join();
}

void RatingPrompt::incrementAndRate(bool canPrompt)
{
	incrementUseCount();
	if (canPrompt && ratingConditionsHaveBeenMet() && connectedToNetwork())
		showRatingAlert();
}

void RatingPrompt::incrementSignificantEventAndRate(bool canPrompt)
{
	incrementSignificantEventCount();
	if (canPrompt && ratingConditionsHaveBeenMet() && connectedToNetwork())
		showRatingAlert();
}

void RatingPrompt::incrementUseCount()
{
	incrementCounter(kUseCount);
}

void RatingPrompt::incrementSignificantEventCount()
{
	incrementCounter(kSignificantEventCount);
}

void RatingPrompt::incrementCounter(const char* counter)
{
	using pf::UserDefaults;
	const bool use = std::string(counter) == kUseCount;
	std::lock_guard<std::mutex> guard(m_countLock);
	UserDefaults::synchronise();
	const std::string version = bundleVersion();
	if (!UserDefaults::has(kCurrentVersion))
		UserDefaults::setString(kCurrentVersion, version);
	if (UserDefaults::getString(kCurrentVersion) == version)
	{
		if (UserDefaults::getNumber(kFirstUseDate) == 0)
			UserDefaults::setNumber(kFirstUseDate, now());
		UserDefaults::setNumber(counter, UserDefaults::getNumber(counter) + 1);
	}
	else
	{
		// A new version starts over; only a use dates the first use.
		UserDefaults::setString(kCurrentVersion, version);
		UserDefaults::setNumber(kFirstUseDate, use ? now() : 0);
		UserDefaults::setNumber(kUseCount, use ? 1 : 0);
		UserDefaults::setNumber(kSignificantEventCount, use ? 0 : 1);
		UserDefaults::setBoolean(kRatedCurrentVersion, false);
		UserDefaults::setBoolean(kDeclinedToRate, false);
		UserDefaults::setNumber(kReminderRequestDate, 0);
	}
	UserDefaults::synchronise();
}

bool RatingPrompt::ratingConditionsHaveBeenMet()
{
	using pf::UserDefaults;
	const double t = now();
	if (t - UserDefaults::getNumber(kFirstUseDate) < kDaysUntilPromptSeconds)
		return false;
	if (UserDefaults::getNumber(kUseCount) < kUsesUntilPrompt)
		return false;
	if (UserDefaults::getNumber(kSignificantEventCount) < kSignificantEventsUntilPrompt)
		return false;
	if (UserDefaults::getBoolean(kDeclinedToRate) || UserDefaults::getBoolean(kRatedCurrentVersion))
		return false;
	return t - UserDefaults::getNumber(kReminderRequestDate) >= kReminderDelaySeconds;
}

bool RatingPrompt::connectedToNetwork()
{
	std::string ipv4, ipv6;
	{
		std::lock_guard<std::mutex> guard(m_seamLock);
		ipv4 = m_ipv4Routes;
		ipv6 = m_ipv6Routes;
	}
	bool readable4 = false, readable6 = false;
	if (ipv4DefaultRoute(ipv4, readable4))
		return true;
	if (ipv6DefaultRoute(ipv6, readable6))
		return true;
	if (!readable4 && !readable6)
		lang::Debug::printf("Error. Could not recover network reachability flags\n");
	return false;
}

void RatingPrompt::showRatingAlert()
{
	unsigned serial;
	{
		std::lock_guard<std::mutex> guard(m_alertLock);
		m_alertPending = true;
		serial = ++m_alertSerial;
	}
	pf::MainThreadQueue::post([this, serial] {
		{
			std::lock_guard<std::mutex> guard(m_alertLock);
			if (!m_alertPending || serial != m_alertSerial)
				return;
		}
		int answer = pf::Alert::show(alertTitle(), "", {"No, Thanks", "Rate Now", "Remind me later"});
		{
			std::lock_guard<std::mutex> guard(m_alertLock);
			// Hidden meanwhile: the answer no longer counts.
			if (!m_alertPending || serial != m_alertSerial)
				answer = -1;
			m_alertPending = false;
		}
		alertClicked(answer);
	});
}

void RatingPrompt::alertClicked(int buttonIndex)
{
	using pf::UserDefaults;
	switch (buttonIndex)
	{
	case BUTTON_NO_THANKS:
		UserDefaults::setBoolean(kDeclinedToRate, true);
		UserDefaults::synchronise();
		break;
	case BUTTON_RATE_NOW:
		rateThisApp();
		break;
	case BUTTON_REMIND_LATER:
		UserDefaults::setNumber(kReminderRequestDate, now());
		UserDefaults::synchronise();
		break;
	default:
		break;
	}
}

void RatingPrompt::hideRatingAlert()
{
	std::lock_guard<std::mutex> guard(m_alertLock);
	if (m_alertPending)
	{
		m_alertPending = false;
		++m_alertSerial;
	}
}

bool RatingPrompt::alertPending() const
{
	std::lock_guard<std::mutex> guard(m_alertLock);
	return m_alertPending;
}

void RatingPrompt::rateThisApp()
{
	const std::string url = reviewURL();
	pf::UserDefaults::setBoolean(kRatedCurrentVersion, true);
	pf::UserDefaults::synchronise();
	URLOpener opener;
	{
		std::lock_guard<std::mutex> guard(m_seamLock);
		opener = m_opener;
	}
	if (!opener(url))
		lang::Debug::printf("RatingPrompt: could not open %s\n", url.c_str());
}

std::string RatingPrompt::reviewURL()
{
	std::string path = kReviewTemplate;
	char id[32];
	std::snprintf(id, sizeof id, "%d", kStoreId);
	path.replace(path.find("APP_ID"), 6, id);
	return std::string("itms-apps://") + kReviewHost + path;
}

std::string RatingPrompt::alertTitle()
{
	return std::string("If you like ") + kDisplayName + ", please rate it.";
}

void RatingPrompt::setClock(Clock clock)
{
	std::lock_guard<std::mutex> guard(m_seamLock);
	m_clock = clock ? std::move(clock) : Clock(systemNow);
}

void RatingPrompt::setBundleVersion(const std::string& version)
{
	std::lock_guard<std::mutex> guard(m_seamLock);
	m_bundleVersion = version.empty() ? analytics::AnalyticsDevice::bundleVersion() : version;
}

void RatingPrompt::setRouteTables(const std::string& ipv4, const std::string& ipv6)
{
	std::lock_guard<std::mutex> guard(m_seamLock);
	m_ipv4Routes = ipv4;
	m_ipv6Routes = ipv6;
}

void RatingPrompt::setURLOpener(URLOpener opener)
{
	std::lock_guard<std::mutex> guard(m_seamLock);
	if (opener)
		m_opener = std::move(opener);
	else
		m_opener = [](const std::string& url) { return pf::Launcher().openURL(url); };
}

void RatingPrompt::resetSeams()
{
	setClock(nullptr);
	setBundleVersion("");
	setRouteTables(kIPv4Routes, kIPv6Routes);
	setURLOpener(nullptr);
}

double RatingPrompt::now() const
{
	Clock clock;
	{
		std::lock_guard<std::mutex> guard(m_seamLock);
		clock = m_clock;
	}
	return clock();
}

std::string RatingPrompt::bundleVersion() const
{
	std::lock_guard<std::mutex> guard(m_seamLock);
	return m_bundleVersion;
}
