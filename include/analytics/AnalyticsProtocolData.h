#ifndef ANALYTICS_ANALYTICSPROTOCOLDATA_H
#define ANALYTICS_ANALYTICSPROTOCOLDATA_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace analytics
{
/** A growable byte block, the buffer every record is appended to. */
typedef std::vector<uint8_t> Bytes;

/** Microseconds since 1970; an empty value stands for a missing date. */
typedef std::optional<int64_t> Date;

/**
 * Encoding primitives of the binary report: big-endian numbers, no
 * padding, strings as a 16-bit UTF-8 byte count and the bytes.
 */
class AnalyticsProtocolData
{
public:
	static void appendBoolean(bool value, Bytes& data);
	static void appendByte(int value, Bytes& data);
	static void appendUshort(uint16_t value, Bytes& data);
	static void appendInt(int32_t value, Bytes& data);
	static void appendLong(int64_t value, Bytes& data);
	static void appendFloat(float value, Bytes& data);
	static void appendDouble(double value, Bytes& data);
	/** Milliseconds since 1970 as a long; a missing date writes 0. */
	static void appendTimestamp(const Date& date, Bytes& data);
	/** The UTF-8 text cut by limitStringLength, after its byte count. */
	static void appendString(const std::string& value, Bytes& data);
	/** Length modulo 256, then that many leading bytes. */
	static void appendTinyData(const Bytes& value, Bytes& data);
	/** Length as a ushort, then every byte; throws lang::Exception over 65535 bytes. */
	static void appendShortData(const Bytes& value, Bytes& data);

	/**
	 * The text itself below 256 UTF-16 units, else its first 255 units (254
	 * where the 255th would split a surrogate pair). Malformed UTF-8 bytes
	 * become U+FFFD, so the report never carries a broken sequence.
	 */
	static std::string limitStringLength(const std::string& value);

	/** Milliseconds from one date to the other, truncated toward zero; 0 when either is missing. */
	static int64_t timeIntervalFrom(const Date& from, const Date& to);

	/** Number of UTF-16 units of UTF-8 text (malformed bytes count one each). */
	static size_t utf16Length(const std::string& value);
	/** True when the bytes are well-formed UTF-8. */
	static bool isValidUTF8(const std::string& value);
};
}

#endif
