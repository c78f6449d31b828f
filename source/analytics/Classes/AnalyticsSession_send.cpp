#include "AnalyticsFiles.h"
#include "AnalyticsHTTP.h"
#include "AnalyticsUtil.h"
#include "AnalyticsJSON.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsSession.h>
#include <analytics/AnalyticsAgent.h>
#include <lang/Throwable.h>
#include <algorithm>
#include <chrono>
#include <thread>

namespace analytics
{
using detail::debugLog;
using detail::guarded;
using detail::state;

namespace
{
enum { APP_PROMO, VIDEO, AD_SLOT, RECALL };

// Counts a send from before its thread starts until it ends, so exit can wait for it.
struct RunningSend
{
	RunningSend()
	{
		std::lock_guard<std::mutex> lock(state().sendsLock);
		++state().runningSends;
	}
	~RunningSend()
	{
		std::lock_guard<std::mutex> lock(state().sendsLock);
		--state().runningSends;
		state().sendsDone.notify_all();
	}
};

// Removes each sent record once from the saved list, matched by its bytes.
bool removeSent(std::vector<Bytes>& saved, const std::vector<Bytes>& sent)
{
	bool changed = false;
	for (const Bytes& record : sent)
	{
		auto it = std::find(saved.begin(), saved.end(), record);
		if (it != saved.end())
		{
			saved.erase(it);
			changed = true;
		}
	}
	return changed;
}

std::string reportURL()
{
	return AnalyticsAgent::serverURL();
}
}

std::mutex& AnalyticsSession::getNetworkLock()
{
	// Never destroyed: a send thread may still hold it while the process ends.
	static std::mutex* lock = new std::mutex;
	return *lock;
}

bool AnalyticsSession::waitForSends(int timeoutMillis)
{
	std::unique_lock<std::mutex> lock(state().sendsLock);
	return state().sendsDone.wait_for(lock, std::chrono::milliseconds(timeoutMillis), [] { return state().runningSends == 0; });
}

void AnalyticsSession::detachSend(void (*send)())
{
	if (AnalyticsHTTPEater::abortTransfers())
		return;
	auto running = std::make_shared<RunningSend>();
	std::thread([send, running]() { guarded(send); }).detach();
}

void AnalyticsSession::sendSessionsToServerForAppPromo()
{
	const bool flags[4] = {AnalyticsAgent::appPromoEnabled(), AnalyticsAgent::videoAdsEnabled(), AnalyticsAgent::adSlotEnabled(), AnalyticsAgent::recallEnabled()};
	sendSessionsToServerWithTimeout(false, false, flags[APP_PROMO], flags[VIDEO], flags[AD_SLOT], flags[RECALL], false);
	if (flags[APP_PROMO] || flags[VIDEO] || flags[AD_SLOT] || flags[RECALL])
		sendSavedAdStateCallbacks();
}

void AnalyticsSession::sendSessionsToServerForSessionPause()
{
	sendSessionsToServerWithTimeout(true, false, false, false, false, false, true);
	AnalyticsAgent::stopBackgroundTask();
}

void AnalyticsSession::sendSessionsToServerForEndOfSession()
{
	sendSessionsToServerWithTimeout(true, false, false, false, false, false, true);
}

void AnalyticsSession::sendSessionsToServerForAdditionalInfo()
{
	sendSessionsToServerWithTimeout(true, true, false, false, false, false, false);
}

void AnalyticsSession::sendSessionsToServerWithTimeout(bool shortTimeout, bool useWebView, bool appPromo, bool videoAds, bool adSlot, bool recall, bool sendCurrentSession)
{
	std::unique_lock<std::mutex> network(getNetworkLock(), std::try_to_lock);
	if (!network.owns_lock())
	{
		debugLog("Could not acquire network lock. Skipping");
		return;
	}
	RunningSend running;
	guarded([&] {
		debugLog("AnalyticsAgent: Sending sessions to server withTimeout[" + std::to_string(shortTimeout) + "]");
		if (AnalyticsAgent::filesLocked() || AnalyticsHTTPEater::abortTransfers())
			return;
		// The key, version and start of the report are those of the session current now.
		const std::shared_ptr<AnalyticsSession> current = currentSession();
		if (!current)
		{
			debugLog("AnalyticsAgent: no current session, nothing sent");
			return;
		}
		const AnalyticsSessionData head = current->snapshot();
		const std::vector<Bytes> saved = savedSessions();
		std::vector<ReportItem> items(saved.begin(), saved.end());
		if (sendCurrentSession)
			items.push_back(head.record());

		AnalyticsHTTPResponse response;
		size_t consumed = items.size();
		bool sentOverNetwork = false;
		const std::string savedResponse = AnalyticsAgent::savedResponseURL();
		if (!savedResponse.empty())
		{
			response = AnalyticsHTTPResponse::readFromURL(savedResponse);
		}
		else if (useWebView)
		{
			// No web view here: nothing is sent and no answer comes back.
			debugLog("AnalyticsAgent: web view sending is not available");
			return;
		}
		else
		{
			const Bytes body = dataForSessions(head, items, appPromo, videoAds, adSlot, recall, &consumed);
			response = AnalyticsHTTPEater::sendMethod("POST", reportURL(), body, {{"Content-Type", "application/octet-stream"}},
				shortTimeout ? 5 : AnalyticsHTTPEater::DEFAULT_TIMEOUT);
			sentOverNetwork = true;
		}
		// What the service acknowledged leaves the file before anything else
		// happens, so a kill from here on cannot send it a second time. Only
		// what the body carried leaves: records closed meanwhile stay.
		const bool delivered = !shortTimeout && response.isDelivered();
		bool forgotten = false;
		if (delivered)
		{
			const std::vector<Bytes> sent(saved.begin(), saved.begin() + std::min(consumed, saved.size()));
			forgotten = updateSavedSessions([&sent](std::vector<Bytes>& list) { return removeSent(list, sent); });
		}
		if (sentOverNetwork && AnalyticsUtil::isDebugLogEnabled())
			response.saveToDisk();
		if (shortTimeout)
			return;

		// The session current at the end hears whether the service was reached.
		const std::shared_ptr<AnalyticsSession> now = currentSession();
		if (delivered)
		{
			if (now)
				now->setInternetAvailable(true);
			setSentSession();
			debugLog("AnalyticsAgent: Sent " + std::to_string(std::min(consumed, items.size())) + " session(s).");
			if (!forgotten)
				debugLog("AnalyticsAgent: saved sessions could not be rewritten; the sent ones go again");
		}
		else
		{
			if (now)
				now->setInternetAvailable(false);
			debugLog("AnalyticsAgent: Could not connect to server.");
		}
		if ((appPromo || videoAds || adSlot || recall) && delivered && !response.body().empty())
			readAdvertisingBlocks(response.body(), appPromo, videoAds, adSlot, recall);
	});
}

void AnalyticsSession::setAppPromoAdParser(AnalyticsAdParser* parser)
{
	state().adParsers[APP_PROMO] = parser;
	debugLog("AnalyticsAgent: AppPromoAdParser set");
}

void AnalyticsSession::setVideoAdParser(AnalyticsAdParser* parser)
{
	state().adParsers[VIDEO] = parser;
	debugLog("AnalyticsAgent: VideoAdParser set");
}

void AnalyticsSession::setAdSlotAdParser(AnalyticsAdParser* parser)
{
	state().adParsers[AD_SLOT] = parser;
	debugLog("AnalyticsAgent: AdSlotAdParser set");
}

void AnalyticsSession::setRecallAdParser(AnalyticsAdParser* parser)
{
	state().adParsers[RECALL] = parser;
	debugLog("AnalyticsAgent: RecallAdParser set");
}

void AnalyticsSession::readAdvertisingBlocks(const Bytes& body, bool appPromo, bool videoAds, bool adSlot, bool recall)
{
	static const char* const names[4] = {"AppPromo", "Video", "AdSlot", "Recall"};
	const uint8_t* start = body.data();
	const uint8_t* end = start + body.size();
	const uint8_t* position = start;
	debugLog("AnalyticsAgent: about to invoke Parser(s). bufferLength [" + std::to_string(body.size()) + "] remainingBufferLength [" +
		std::to_string(body.size()) + "]");
	// Runs one parser; false when the loop has to stop.
	auto run = [&](int kind) {
		debugLog(std::string("AnalyticsAgent: about to invoke ") + names[kind] + " ad parser");
		AnalyticsAdParser* parser = state().adParsers[kind];
		if (!parser)
		{
			debugLog(std::string("AnalyticsAgent: ") + names[kind] + " ad parser is not available.");
			return false;
		}
		const uint8_t* next = parser->parseData(position, static_cast<size_t>(end - position));
		// A parser that does not move on, or goes past the end, would loop or overrun.
		if (!next || next <= position || next > end)
			return false;
		position = next;
		debugLog(std::string("AnalyticsAgent: ") + names[kind] + " ad parser finished. aggregate bytes scanned [" + std::to_string(position - start) + "]");
		return true;
	};
	while (end - position >= 2)
	{
		const int tag = (position[0] << 8) | position[1];
		bool go = true;
		if (tag == 0x201 && adSlot)
		{
			go = run(AD_SLOT);
		}
		else if (tag == 0x102 && (appPromo || videoAds || recall))
		{
			const bool wanted[3] = {appPromo, videoAds, recall};
			const int kinds[3] = {APP_PROMO, VIDEO, RECALL};
			for (int i = 0; i < 3; ++i)
			{
				if (wanted[i] && !run(kinds[i]))
					go = false;
			}
		}
		else
		{
			debugLog("AnalyticsAgent: unrecognized block tag [" + std::to_string(tag) + "].");
			go = false;
		}
		debugLog("AnalyticsAgent: buffer length [" + std::to_string(body.size()) + "] remaining buffer length [" + std::to_string(end - position) + "].");
		if (!go)
			break;
	}
}

namespace
{
cJSON* callbacksJSON(const std::vector<AnalyticsSession::AdStateCallback>& list)
{
	cJSON* array = cJSON_CreateArray();
	for (const auto& c : list)
	{
		cJSON* item = cJSON_CreateObject();
		cJSON_AddStringToObject(item, "url", c.first.c_str());
		detail::jsonAddInteger(item, "attempts", c.second);
		cJSON_AddItemToArray(array, item);
	}
	return array;
}

void storeCallbacksLocked()
{
	cJSON* json = callbacksJSON(state().adCallbacks);
	AnalyticsFiles::writeJSON(AnalyticsSession::adStateCallbacksFilePath(), json);
	cJSON_Delete(json);
}

void loadCallbacksLocked()
{
	if (state().adCallbacksLoaded)
		return;
	state().adCallbacksLoaded = true;
	const std::string path = AnalyticsSession::adStateCallbacksFilePath();
	if (!AnalyticsFiles::exists(path))
		return;
	cJSON* json = AnalyticsFiles::readJSON(path);
	if (!cJSON_IsArray(json))
	{
		debugLog("main: Caught unreadable ad state callbacks: removed");
		AnalyticsFiles::remove(path);
	}
	else
	{
		for (const cJSON* item = json->child; item; item = item->next)
		{
			if (std::optional<std::string> url = detail::jsonString(item, "url"))
				state().adCallbacks.emplace_back(*url, static_cast<int>(detail::jsonInteger(item, "attempts")));
		}
	}
	cJSON_Delete(json);
}
}

std::vector<AnalyticsSession::AdStateCallback> AnalyticsSession::savedAdStateCallbacks()
{
	std::lock_guard<std::mutex> lock(state().adCallbacksLock);
	loadCallbacksLocked();
	return state().adCallbacks;
}

void AnalyticsSession::setSavedAdStateCallbacks(const std::vector<AdStateCallback>& callbacks)
{
	std::lock_guard<std::mutex> lock(state().adCallbacksLock);
	state().adCallbacksLoaded = true;
	state().adCallbacks = callbacks;
	storeCallbacksLocked();
}

void AnalyticsSession::addToSavedAdStateCallbacks(const AdStateCallback& callback)
{
	debugLog("Analytics: Add ad state callback [" + callback.first + "] to saved callbacks");
	std::lock_guard<std::mutex> lock(state().adCallbacksLock);
	loadCallbacksLocked();
	std::vector<AdStateCallback>& list = state().adCallbacks;
	list.push_back(callback);
	if (list.size() > MAX_AD_STATE_CALLBACKS)
	{
		const size_t extra = list.size() - MAX_AD_STATE_CALLBACKS;
		debugLog("Analytics: Max ad states allowed[" + std::to_string(MAX_AD_STATE_CALLBACKS) + "] exceeded");
		debugLog("Analytics: Removing [" + std::to_string(extra) + "] callbacks from saved callbacks");
		list.erase(list.begin(), list.begin() + extra);
	}
}

void AnalyticsSession::sendSavedAdStateCallbacks()
{
	guarded([] {
		std::vector<AdStateCallback> list = savedAdStateCallbacks();
		const std::vector<AdStateCallback> batch(list.begin(), list.begin() + std::min<size_t>(5, list.size()));
		for (const AdStateCallback& c : batch)
		{
			debugLog("Attempting to send saved callback[" + c.first + "]");
			sendAdStateCompleted(c, false);
		}
		std::lock_guard<std::mutex> lock(state().adCallbacksLock);
		debugLog("Discarded Items count[" + std::to_string(batch.size()) + "]");
		// The tried ones leave; failed ones came back at the end with one more attempt.
		std::vector<AdStateCallback>& saved = state().adCallbacks;
		for (const AdStateCallback& c : batch)
		{
			auto it = std::find(saved.begin(), saved.end(), c);
			if (it != saved.end())
				saved.erase(it);
		}
		storeCallbacksLocked();
	});
}

void AnalyticsSession::sendAdStateCompleted(const AdStateCallback& callback, bool saveData)
{
	const AnalyticsHTTPResponse response = AnalyticsHTTPEater::get(callback.first);
	debugLog("Analytics: HTTP Response for ad state notification [" + response.description() + "]");
	if (response.isSuccess() && response.finished())
	{
		debugLog("Analytics: sent ad state completed to server at url[" + callback.first + "]");
		return;
	}
	debugLog("Analytics: could not send ad state completed to server for url [" + callback.first + "]");
	if (callback.second + 1 < MAX_AD_STATE_CALLBACK_ATTEMPTS)
	{
		addToSavedAdStateCallbacks(AdStateCallback(callback.first, callback.second + 1));
		if (saveData)
		{
			std::lock_guard<std::mutex> lock(state().adCallbacksLock);
			storeCallbacksLocked();
		}
	}
	else
	{
		debugLog("Exceeded number of attempts for callback[" + callback.first + "]");
	}
}
}
