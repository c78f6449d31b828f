#include "../AnalyticsHTTP.h"
#include "../AnalyticsFiles.h"
#include "../AnalyticsUtil.h"
#include "../AnalyticsJSON.h"
#include <analytics/AnalyticsSession.h>
#include <lang/System.h>

namespace analytics
{
AnalyticsHTTPResponse::AnalyticsHTTPResponse() :
	m_statusCode(0),
	m_finished(false)
{
}

AnalyticsHTTPResponse::AnalyticsHTTPResponse(const Bytes& body, int32_t statusCode, const Headers& headers, const std::string& error, bool finished) :
	m_body(body),
	m_statusCode(statusCode),
	m_headers(headers),
	m_error(error),
	m_finished(finished)
{
}

bool AnalyticsHTTPResponse::isSuccess() const
{
	return m_statusCode >= 200 && m_statusCode < 400;
}

bool AnalyticsHTTPResponse::isDelivered() const
{
	return m_finished && m_error.empty() && m_statusCode >= 200 && m_statusCode < 300;
}

std::string AnalyticsHTTPResponse::description() const
{
	return "status:" + std::to_string(m_statusCode) + " error:" + (m_error.empty() ? "(null)" : m_error) + " body:" +
		std::string(m_body.begin(), m_body.end());
}

std::string AnalyticsHTTPResponse::filePath(int64_t number)
{
	const std::string path = AnalyticsSession::filePathDirectory() + "/analyticsResponse" + std::to_string(number);
	AnalyticsUtil::addSkipBackupAttributeToItemAtPath(path);
	return path;
}

std::string AnalyticsHTTPResponse::saveToDisk() const
{
	cJSON* json = cJSON_CreateObject();
	detail::jsonAddInteger(json, "statusCode", m_statusCode);
	cJSON_AddStringToObject(json, "body", detail::base64Encode(m_body).c_str());
	cJSON* headers = cJSON_AddObjectToObject(json, "headers");
	for (const auto& h : m_headers)
		cJSON_AddStringToObject(headers, h.first.c_str(), h.second.c_str());
	const std::string path = filePath(lang::System::currentTimeMicros() / 1000000);
	const bool ok = AnalyticsFiles::writeJSON(path, json);
	cJSON_Delete(json);
	return ok ? path : std::string();
}

AnalyticsHTTPResponse AnalyticsHTTPResponse::readFromURL(const std::string& url)
{
	const std::string path = url.compare(0, 7, "file://") == 0 ? url.substr(7) : url;
	cJSON* json = AnalyticsFiles::readJSON(path);
	if (!cJSON_IsObject(json))
	{
		cJSON_Delete(json);
		return AnalyticsHTTPResponse(Bytes(), 0, Headers(), "unreadable stored response " + path, false);
	}
	const Headers headers = detail::jsonStringMap(json, "headers");
	const AnalyticsHTTPResponse response(detail::jsonBytes(json, "body").value_or(Bytes()),
		static_cast<int32_t>(detail::jsonInteger(json, "statusCode")), headers, std::string(), true);
	cJSON_Delete(json);
	return response;
}
}
