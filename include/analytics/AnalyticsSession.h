#ifndef ANALYTICS_ANALYTICSSESSION_H
#define ANALYTICS_ANALYTICSSESSION_H

#include <analytics/AnalyticsEvent.h>
#include <analytics/AnalyticsProtocolData.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

struct cJSON;

namespace lang
{
class Throwable;
}

namespace analytics
{
/** Reads one advertising block of a report answer. */
class AnalyticsAdParser
{
public:
	virtual ~AnalyticsAdParser() {}
	/** Given the block (its tag first) and the bytes left, answers the position after what it read. */
	virtual const uint8_t* parseData(const uint8_t* data, size_t bufferLength) = 0;
};

/** One recorded error: sequence number, time, identifier, message, exception text. */
struct AnalyticsErrorEntry
{
	int64_t sequence = 0;
	Date recorded;
	std::string errorID;
	std::string message;
	std::string exception;

	bool operator==(const AnalyticsErrorEntry& o) const;
};

/** The archived fields of a session: what a save or a record is written from. */
struct AnalyticsSessionData
{
	int32_t serializationVersion = 0;
	Date startTime;
	Date endTime;
	Date pauseTime;
	int64_t totalPauseIntervalMillis = 0;
	double latitude = 0;
	double longitude = 0;
	float accuracy = 0;
	bool crashed = false;
	std::string apiKey;
	std::string appVersion;
	std::optional<std::string> userID;
	std::map<std::string, int32_t> eventCounts;
	std::vector<AnalyticsEvent> eventLog;
	bool eventLogComplete = true;
	std::vector<AnalyticsErrorEntry> errors;
	int32_t totalErrorCount = 0;
	std::vector<Bytes> adLog;
	std::vector<Bytes> adSlotAdLog;
	int32_t pageViewCount = 0;
	std::string locale;
	std::string timeZone;
	bool internetAvailable = true;
	int32_t gender = -1;
	Date age;

	/** The keyed archive (serializationVersion as given). */
	cJSON* toJSON() const;
	/** None when the version is above 1 or the value is not an object. */
	static std::optional<AnalyticsSessionData> fromJSON(const cJSON* json);
	/** The binary session record. */
	Bytes record() const;
	/** Milliseconds from start to end, -1 without an end. */
	int64_t sessionLength() const;
};

/**
 * One analytics session, and the process-wide state around sessions: the
 * current session, the saved session records on disk, the files and limits.
 * Recording takes the session's lock only to change or copy its fields; the
 * file work runs outside it.
 */
class AnalyticsSession : public std::enable_shared_from_this<AnalyticsSession>
{
public:
	typedef AnalyticsEvent::Parameters Parameters;
	/** A report element: a session, written when the report is, or a record already written. */
	typedef std::variant<Bytes, std::shared_ptr<AnalyticsSession>> ReportItem;

	enum
	{
		MAX_EVENT_PARAMETERS = 10,
		MAX_EVENT_COUNTS = 100,
		MAX_EVENT_LOG_COUNT = 1000,
		MAX_ERRORS = 10,
		MAX_IMPRESSIONS = 1000,
		DEFAULT_MAX_SESSIONS = 50,
		AGENT_VERSION = 89,
		FORMAT_NUMBER = 22,
		MAX_REPORT_RECORDS = 65535,
	};

	/** Starts now; saves at once. Use createActiveAnalyticsSession for the current one. */
	AnalyticsSession(const std::string& apiKey, const std::string& appVersion);
	/** A session restored from its archive. */
	explicit AnalyticsSession(const AnalyticsSessionData& data);
	~AnalyticsSession();

	// ---- class-level state ----
	static std::string getAgentVersion();
	/**
	 * Restores an unfinished session of an earlier run as crashed into the
	 * saved records, then makes a new current session and returns it. An
	 * empty version takes the bundle's.
	 */
	static std::shared_ptr<AnalyticsSession> createActiveAnalyticsSession(const std::string& apiKey, const std::string& appVersion = std::string());
	static std::shared_ptr<AnalyticsSession> currentSession();
	static void setCurrentSession(const std::shared_ptr<AnalyticsSession>& session);
	/**
	 * Forgets every process-wide value of the client (current session,
	 * counters, switches, hooks, limits); files stay.
	 */
	static void resetProcessState();

	static std::vector<Bytes> savedSessions();
	static bool setSavedSessions(const std::vector<Bytes>& sessions);
	/**
	 * Runs one read-modify-write of the saved records under their lock; the
	 * result is stored when the function answers true. False when storing failed.
	 */
	static bool updateSavedSessions(const std::function<bool(std::vector<Bytes>&)>& change);
	/** Appends a record unless an equal one (version, app version, start) is saved; false when storing failed. */
	static bool addRecordToSavedSessions(const Bytes& record);
	static bool addToSavedSessions(const AnalyticsSession& session);
	static std::vector<Bytes>& removeOldSessionsIfNecessary(std::vector<Bytes>& sessions);
	/** Values below 1 keep one. */
	static void setMaxSessions(int maxSessions);
	static int maxSessions();
	static bool sentSession();
	static void setSentSession();

	static std::string filePathDirectory();
	static std::string sessionsFilePath();
	static std::string currentSessionFilePath();
	static std::string sessionSentFilePath();
	static std::string initialTimestampFilePath();
	static std::string adStateCallbacksFilePath();
	/** FNV-1a of the key's bytes, as the file names print it. */
	static int32_t fileKeyHash(const std::string& apiKey);

	/** Truncates to 3 decimals; saturates beyond 32 bits, NaN gives 0. */
	static double reduceLocationPrecision(double value);

	/** Called by an end with send: the end-of-session report. Null sends nothing. */
	static void setEndOfSessionSender(void (*sender)());

	// ---- report format ----
	/**
	 * The report: envelope, at most MAX_REPORT_RECORDS records and the
	 * checksum. Throws lang::Exception without a current session. written
	 * receives the number of items consumed (skipped ones included).
	 */
	static Bytes dataForSessions(const std::vector<ReportItem>& sessions, bool appPromo, bool videoAds, bool adSlot, bool recall, size_t* consumed = nullptr);
	static Bytes dataForSessions(const std::vector<ReportItem>& sessions);
	/** The report for the given current session's key, version and start. */
	static Bytes dataForSessions(const AnalyticsSessionData& current, const std::vector<ReportItem>& sessions, bool appPromo, bool videoAds, bool adSlot, bool recall, size_t* consumed = nullptr);
	/** Appends the CRC-32 of the bytes as an int and returns it. */
	static uint32_t appendSessionsDataChecksum(Bytes& data);
	/** The first session start of this installation, kept in a file. */
	static Date initialTimestamp();
	static std::string devicePlatform();

	// ---- report sending ----
	/**
	 * One send, dropped when another one runs. Only a finished exchange with
	 * a final 2xx status (delivery) lets the sent records go; anything else
	 * keeps everything.
	 */
	static void sendSessionsToServerWithTimeout(bool shortTimeout, bool useWebView, bool appPromo, bool videoAds, bool adSlot, bool recall, bool sendCurrentSession);
	static void sendSessionsToServerForAppPromo();
	static void sendSessionsToServerForSessionPause();
	static void sendSessionsToServerForEndOfSession();
	static void sendSessionsToServerForAdditionalInfo();
	/** Runs the send on a detached thread that exit waits for; nothing once exit began. */
	static void detachSend(void (*send)());
	/** Waits until no send runs; false when one still does after the time. */
	static bool waitForSends(int timeoutMillis);
	/** The process-wide lock one send holds, only ever tried. */
	static std::mutex& getNetworkLock();
	static void setAppPromoAdParser(AnalyticsAdParser* parser);
	static void setVideoAdParser(AnalyticsAdParser* parser);
	static void setAdSlotAdParser(AnalyticsAdParser* parser);
	static void setRecallAdParser(AnalyticsAdParser* parser);
	/** Hands the answer's blocks to the parsers of the kinds asked for. */
	static void readAdvertisingBlocks(const Bytes& body, bool appPromo, bool videoAds, bool adSlot, bool recall);

	/** A waiting advertising notification: address and attempts so far. */
	typedef std::pair<std::string, int> AdStateCallback;
	enum { MAX_AD_STATE_CALLBACKS = 100, MAX_AD_STATE_CALLBACK_ATTEMPTS = 5 };
	static std::vector<AdStateCallback> savedAdStateCallbacks();
	static void setSavedAdStateCallbacks(const std::vector<AdStateCallback>& callbacks);
	static void addToSavedAdStateCallbacks(const AdStateCallback& callback);
	static void sendSavedAdStateCallbacks();
	static void sendAdStateCompleted(const AdStateCallback& callback, bool saveData);

	// ---- device identifiers ----
	static Bytes getMACBasedUID();
	static Bytes getMACUID();
	static Bytes hashData(const Bytes& data);
	static std::string hashDataToHexString(const uint8_t* bytes, size_t length);
	static std::string generateCFUUID();
	static std::string generateCFUUIDBasedUID();
	static uint32_t generateCFUUIDBasedUIDChecksum(const std::string& text);
	static std::string getCFUUIDBasedUIDWithChecksum(const std::string& identifier);
	/** The generated identifier; status 1 new, 2 stored, 3 bad check value, 4 bad length or unreadable. */
	static std::string getCFUUIDBasedUIDAndStatus(int* status);
	static std::string analyticsIDsList();
	static std::string pasteboardName();
	static std::string pasteboardTypeName();
	/** The file that stands for the named pasteboard's identifier type. */
	static std::string pasteboardFilePath();

	// ---- instance ----
	/** Archives to the current-session file unless closed; false when the write failed. */
	bool saveToDisk();
	/** Saves when something changed since the last save. */
	bool saveIfChanged();
	bool changed() const;
	bool closed() const;

	void pauseSession();
	void resumeSession();
	/** Closes: final state to the current file, record to the saved ones, file deleted, current cleared. */
	void saveSession();
	void endSession();
	void endSessionAndSend(bool send, bool removeCurrentSession);

	void recordEvent(const std::string& name, const Parameters* parameters, bool timed = false);
	void recordEvent(const std::string& name, const Parameters& parameters, bool timed = false);
	void endTimedEvent(const std::string& name, const Parameters* parameters);
	void endTimedEvents();

	void recordError(const std::string& errorID, const std::string& message, const lang::Throwable* exception);
	void recordError(const std::string& errorID, const std::string& message, const std::exception* exception);
	void recordError(const std::string& errorID, const std::string& message, const std::error_code* error);
	void recordErrorWithString(const std::string& errorID, const std::string& message, const std::string& exceptionString);

	void recordAdImpression(const Bytes& impression);
	void recordAdSlotAdImpression(const Bytes& impression);
	void setLocation(double latitude, double longitude, float horizontalAccuracy, float verticalAccuracy);
	void maybeIncrementPageView();

	void setUserID(const std::string& userID);
	std::string userID() const;
	void setGender(const std::string& gender);
	void setAge(int years);

	void setEventLoggingEnabled(bool enabled);
	bool eventLoggingEnabled() const;
	void setSessionReportsOnCloseEnabled(bool enabled);
	bool sessionReportsOnCloseEnabled() const;
	void setSessionReportsOnPauseEnabled(bool enabled);
	bool sessionReportsOnPauseEnabled() const;

	bool crashed() const;
	void setCrashed(bool crashed);
	Date startTime() const;
	std::string apiKey() const;
	std::string appVersion() const;
	void setAppVersion(const std::string& version);
	int32_t pageViewCount() const;
	void setPageViewCount(int32_t count);
	bool internetAvailable() const;
	void setInternetAvailable(bool available);
	Date endTime() const;
	void setEndTime(const Date& date);

	/** A copy of the fields, taken under the lock. */
	AnalyticsSessionData snapshot() const;
	/** The session record (serialization version 1, as every session is saved at creation). */
	Bytes data() const;
	int64_t sessionLength() const;
	int64_t timeIntervalSinceSessionStart(const Date& date) const;

private:
	mutable std::mutex m_lock;
	std::mutex m_saveLock;
	AnalyticsSessionData m_data;
	bool m_eventLoggingEnabled;
	bool m_sessionReportsOnCloseEnabled;
	bool m_sessionReportsOnPauseEnabled;
	bool m_changed;
	bool m_closed;

	void markChanged() { m_changed = true; }
	void init();
	void endTimedEventsLocked();
	void appendError(const std::string& errorID, const std::string& message, const std::string& exceptionString);
	void recordImpression(std::vector<Bytes> AnalyticsSessionData::*list, const Bytes& impression);
};
}

#endif
