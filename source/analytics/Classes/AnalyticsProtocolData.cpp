#include <analytics/AnalyticsProtocolData.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <cstring>

namespace analytics
{
namespace
{
// Decodes one UTF-8 sequence at i; answers the code point or -1 for a malformed byte, and its length.
int32_t decodeUTF8(const std::string& s, size_t i, size_t* length)
{
	const unsigned char c = static_cast<unsigned char>(s[i]);
	*length = 1;
	if (c < 0x80)
		return c;
	int n;
	int32_t cp;
	if (c >= 0xC2 && c <= 0xDF)
	{
		n = 1;
		cp = c & 0x1F;
	}
	else if (c >= 0xE0 && c <= 0xEF)
	{
		n = 2;
		cp = c & 0x0F;
	}
	else if (c >= 0xF0 && c <= 0xF4)
	{
		n = 3;
		cp = c & 0x07;
	}
	else
	{
		return -1;
	}
	if (i + n >= s.size())
		return -1;
	for (int k = 1; k <= n; ++k)
	{
		const unsigned char d = static_cast<unsigned char>(s[i + k]);
		if ((d & 0xC0) != 0x80)
			return -1;
		cp = (cp << 6) | (d & 0x3F);
	}
	// Overlong forms, surrogates and values past U+10FFFF are malformed.
	if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
		return -1;
	*length = n + 1;
	return cp;
}
}

void AnalyticsProtocolData::appendBoolean(bool value, Bytes& data)
{
	data.push_back(value ? 1 : 0);
}

void AnalyticsProtocolData::appendByte(int value, Bytes& data)
{
	data.push_back(static_cast<uint8_t>(value & 0xFF));
}

void AnalyticsProtocolData::appendUshort(uint16_t value, Bytes& data)
{
	data.push_back(static_cast<uint8_t>(value >> 8));
	data.push_back(static_cast<uint8_t>(value));
}

void AnalyticsProtocolData::appendInt(int32_t value, Bytes& data)
{
	const uint32_t v = static_cast<uint32_t>(value);
	for (int shift = 24; shift >= 0; shift -= 8)
		data.push_back(static_cast<uint8_t>(v >> shift));
}

void AnalyticsProtocolData::appendLong(int64_t value, Bytes& data)
{
	const uint64_t v = static_cast<uint64_t>(value);
	for (int shift = 56; shift >= 0; shift -= 8)
		data.push_back(static_cast<uint8_t>(v >> shift));
}

void AnalyticsProtocolData::appendFloat(float value, Bytes& data)
{
	uint32_t bits;
	std::memcpy(&bits, &value, sizeof(bits));
	appendInt(static_cast<int32_t>(bits), data);
}

void AnalyticsProtocolData::appendDouble(double value, Bytes& data)
{
	uint64_t bits;
	std::memcpy(&bits, &value, sizeof(bits));
	appendLong(static_cast<int64_t>(bits), data);
}

void AnalyticsProtocolData::appendTimestamp(const Date& date, Bytes& data)
{
	appendLong(date ? *date / 1000 : 0, data);
}

void AnalyticsProtocolData::appendString(const std::string& value, Bytes& data)
{
	const std::string cut = limitStringLength(value);
	appendUshort(static_cast<uint16_t>(cut.size()), data);
	data.insert(data.end(), cut.begin(), cut.end());
}

void AnalyticsProtocolData::appendTinyData(const Bytes& value, Bytes& data)
{
	const size_t n = value.size() % 256;
	data.push_back(static_cast<uint8_t>(n));
	data.insert(data.end(), value.begin(), value.begin() + n);
}

void AnalyticsProtocolData::appendShortData(const Bytes& value, Bytes& data)
{
	// A wrapped length followed by every byte would misalign the rest of the stream.
	if (value.size() > 65535)
		lang::throwError(lang::Exception(lang::Format("Analytics short data of {0} bytes exceeds 65535", static_cast<double>(value.size()))));
	appendUshort(static_cast<uint16_t>(value.size()), data);
	data.insert(data.end(), value.begin(), value.end());
}

std::string AnalyticsProtocolData::limitStringLength(const std::string& value)
{
	std::string out;
	out.reserve(value.size());
	size_t units = 0;
	for (size_t i = 0; i < value.size();)
	{
		size_t length;
		const int32_t cp = decodeUTF8(value, i, &length);
		const size_t need = cp >= 0x10000 ? 2 : 1;
		if (units + need > 255)
		{
			// Over 255 units: the cut keeps whole characters.
			return out;
		}
		units += need;
		if (cp < 0)
			out += "\xEF\xBF\xBD";
		else
			out.append(value, i, length);
		i += length;
	}
	return out;
}

size_t AnalyticsProtocolData::utf16Length(const std::string& value)
{
	size_t units = 0;
	for (size_t i = 0; i < value.size();)
	{
		size_t length;
		const int32_t cp = decodeUTF8(value, i, &length);
		units += cp >= 0x10000 ? 2 : 1;
		i += length;
	}
	return units;
}

bool AnalyticsProtocolData::isValidUTF8(const std::string& value)
{
	for (size_t i = 0; i < value.size();)
	{
		size_t length;
		if (decodeUTF8(value, i, &length) < 0)
			return false;
		i += length;
	}
	return true;
}

int64_t AnalyticsProtocolData::timeIntervalFrom(const Date& from, const Date& to)
{
	if (!from || !to)
		return 0;
	return (*to - *from) / 1000;
}
}
