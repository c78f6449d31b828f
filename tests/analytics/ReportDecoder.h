#ifndef TESTS_ANALYTICS_REPORTDECODER_H
#define TESTS_ANALYTICS_REPORTDECODER_H

#include <analytics/AnalyticsProtocolData.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace analytics_test
{
/** Reads the big-endian primitives back; throws std::runtime_error past the end. */
class ReportReader
{
public:
	explicit ReportReader(const analytics::Bytes& data, size_t offset = 0) : m_data(data), m_pos(offset) {}

	uint8_t byte();
	bool boolean() { return byte() != 0; }
	uint16_t ushort();
	int32_t int32();
	int64_t int64();
	float float32();
	double float64();
	std::string string();
	analytics::Bytes shortData();
	size_t position() const { return m_pos; }
	bool atEnd() const { return m_pos == m_data.size(); }

private:
	const analytics::Bytes& m_data;
	size_t m_pos;
	void need(size_t n);
	/** A big-endian unsigned number of that many bytes. */
	uint64_t number(size_t bytes);
};

struct DecodedEvent
{
	uint16_t id = 0;
	std::string name;
	std::vector<std::pair<std::string, std::string>> parameters;
	int64_t startOffset = 0;
	int64_t duration = 0;

	static DecodedEvent read(ReportReader& r);
};

struct DecodedError
{
	uint16_t sequence = 0;
	int64_t time = 0;
	std::string errorID, message, exception;
};

struct DecodedRecord
{
	uint16_t version = 0;
	std::string appVersion;
	int64_t start = 0;
	int64_t length = 0;
	int64_t pause = 0;
	std::string locale, timeZone;
	bool reachable = false;
	std::string userID;
	bool constant = false;
	double latitude = 0, longitude = 0;
	float accuracy = 0;
	int32_t pageViews = 0;
	uint8_t deviceStatus = 0;
	uint8_t crashed = 0;
	uint8_t gender = 0;
	bool hasAge = false;
	int64_t age = 0;
	std::vector<std::pair<std::string, int32_t>> eventCounts;
	std::vector<DecodedEvent> events;
	bool eventLogComplete = false;
	int32_t totalErrors = 0;
	std::vector<DecodedError> errors;

	/** Impression lists must be empty: their blocks carry no length. */
	static DecodedRecord read(ReportReader& r);
	static DecodedRecord decode(const analytics::Bytes& record);
};

struct DecodedReport
{
	uint16_t format = 0;
	std::vector<uint16_t> adRequest;
	int64_t cacheStamp = 0;
	std::vector<int64_t> storedIds;
	uint16_t deviceClass = 0;
	uint16_t agentVersion = 0;
	int64_t reportTime = 0;
	std::string apiKey, appVersion;
	analytics::Bytes macBasedUID, macUID;
	std::string generatedUID;
	uint8_t generatedStatus = 0;
	std::vector<uint16_t> identifierTypes;
	int64_t firstUse = 0;
	int64_t sessionStart = 0;
	std::vector<std::pair<std::string, std::string>> properties;
	std::vector<DecodedRecord> records;
	uint32_t checksum = 0;
	/** The checksum equals zlib's CRC-32 of the bytes before it. */
	bool checksumMatches = false;

	static DecodedReport decode(const analytics::Bytes& report);
};
}

#endif
