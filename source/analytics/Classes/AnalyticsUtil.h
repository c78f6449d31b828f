#ifndef ANALYTICS_CLASSES_ANALYTICSUTIL_H
#define ANALYTICS_CLASSES_ANALYTICSUTIL_H

#include <exception>
#include <optional>
#include <set>
#include <string>
#include <system_error>

namespace lang
{
class Throwable;
}

namespace analytics
{
/**
 * Logging switches, the one exception handler of the client, system
 * version and screen facts, and the backup exclusion of its files.
 */
class AnalyticsUtil
{
public:
	/** Receives every written log line; the default goes to syslog(3). */
	typedef void (*LogSink)(const std::string& line);

	static void setDebugLogEnabled(bool enabled);
	static bool isDebugLogEnabled();
	static void setShowErrorInLogEnabled(bool enabled);
	static bool isShowErrorInLogEnabled();

	/** Writes the line only while debug logging is on. */
	static void log(const std::string& line);
	/** Replaces the sink; null restores syslog. */
	static void setLogSink(LogSink sink);

	/** Reports a caught exception (only with both switches on); never throws. */
	static void handleException(const lang::Throwable& e);
	static void handleException(const std::exception& e);
	static void handleException(const std::error_code& e);
	static void handleException(const std::string& what);

	/** No tablet idiom here. */
	static bool isIPad();

	/** "5.0.1" gives 50001: the first three parts in base 100. */
	static int systemVersionAsInteger(const std::string& version);
	/** The system version as an integer, computed once and cached while not 0. */
	static int getSystemVersionAsAnInteger();
	/** The system version text: VERSION_ID of os-release, else the kernel release. */
	static std::string systemVersion();
	/** Replaces the system version text (empty restores the system's); clears the cache. */
	static void setSystemVersion(const std::string& version);

	/** Marks the file to be skipped by backups; false on old systems or when refused. */
	static bool addSkipBackupAttributeToItemAtPath(const std::string& path);

	struct Rect
	{
		float x, y, width, height;
	};

	/** The application's status bar orientation (1 portrait, 2 upside down, 3 right, 4 left); set by the host. */
	static void setStatusBarOrientation(int orientation);
	static Rect screenBounds();
	static Rect screenBounds(const std::optional<std::string>& orientation);
	static bool canvasInLandscapeRight(const std::optional<std::string>& orientation = std::nullopt);
	static bool canvasInLandscapeLeft(const std::optional<std::string>& orientation = std::nullopt);
	static bool canvasInPortraitUpsideDown(const std::optional<std::string>& orientation = std::nullopt);
	static bool canvasInLandscape(const std::optional<std::string>& orientation = std::nullopt);
	static std::string getCanvasOrientation();

	/** The decimal number the whole text holds, or none. */
	static std::optional<double> convertStrToNum(const std::string& text);
	/** Adds the value when missing; true when it was added. */
	static bool addToSet(std::set<std::string>& set, const std::string& value);
};
}

#endif
