#include "ReportDecoder.h"
#include <cstring>
#include <stdexcept>
#include <zlib.h>

namespace analytics_test
{
void ReportReader::need(size_t n)
{
	if (m_data.size() - m_pos < n)
		throw std::runtime_error("report cut short at byte " + std::to_string(m_pos));
}

uint8_t ReportReader::byte()
{
	need(1);
	return m_data[m_pos++];
}

uint64_t ReportReader::number(size_t bytes)
{
	need(bytes);
	uint64_t v = 0;
	for (size_t i = 0; i < bytes; ++i)
		v = (v << 8) | m_data[m_pos++];
	return v;
}

uint16_t ReportReader::ushort()
{
	return static_cast<uint16_t>(number(2));
}

int32_t ReportReader::int32()
{
	return static_cast<int32_t>(static_cast<uint32_t>(number(4)));
}

int64_t ReportReader::int64()
{
	return static_cast<int64_t>(number(8));
}

float ReportReader::float32()
{
	const uint32_t bits = static_cast<uint32_t>(int32());
	float f;
	std::memcpy(&f, &bits, 4);
	return f;
}

double ReportReader::float64()
{
	const uint64_t bits = static_cast<uint64_t>(int64());
	double d;
	std::memcpy(&d, &bits, 8);
	return d;
}

std::string ReportReader::string()
{
	const analytics::Bytes b = shortData();
	return std::string(b.begin(), b.end());
}

analytics::Bytes ReportReader::shortData()
{
	const size_t n = ushort();
	need(n);
	analytics::Bytes b(m_data.begin() + m_pos, m_data.begin() + m_pos + n);
	m_pos += n;
	return b;
}

DecodedEvent DecodedEvent::read(ReportReader& r)
{
	DecodedEvent e;
	e.id = r.ushort();
	e.name = r.string();
	const size_t n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		std::string key = r.string();
		e.parameters.emplace_back(key, r.string());
	}
	e.startOffset = r.int64();
	e.duration = r.int64();
	return e;
}

DecodedRecord DecodedRecord::read(ReportReader& r)
{
	DecodedRecord d;
	d.version = r.ushort();
	d.appVersion = r.string();
	d.start = r.int64();
	d.length = r.int64();
	d.pause = r.int64();
	d.locale = r.string();
	d.timeZone = r.string();
	d.reachable = r.boolean();
	d.userID = r.string();
	d.constant = r.boolean();
	d.latitude = r.float64();
	d.longitude = r.float64();
	d.accuracy = r.float32();
	d.pageViews = r.int32();
	d.deviceStatus = r.byte();
	d.crashed = r.byte();
	d.gender = r.byte();
	d.hasAge = r.boolean();
	if (d.hasAge)
		d.age = r.int64();
	size_t n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		std::string name = r.string();
		d.eventCounts.emplace_back(name, r.int32());
	}
	n = r.ushort();
	for (size_t i = 0; i < n; ++i)
		d.events.push_back(DecodedEvent::read(r));
	d.eventLogComplete = r.boolean();
	d.totalErrors = r.int32();
	n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		DecodedError e;
		e.sequence = r.ushort();
		e.time = r.int64();
		e.errorID = r.string();
		e.message = r.string();
		e.exception = r.string();
		d.errors.push_back(e);
	}
	if (r.ushort() != 0 || r.ushort() != 0)
		throw std::runtime_error("impressions cannot be walked");
	return d;
}

DecodedRecord DecodedRecord::decode(const analytics::Bytes& record)
{
	ReportReader r(record);
	DecodedRecord d = read(r);
	if (!r.atEnd())
		throw std::runtime_error("bytes left after the record");
	return d;
}

DecodedReport DecodedReport::decode(const analytics::Bytes& report)
{
	DecodedReport d;
	ReportReader r(report);
	d.format = r.ushort();
	d.adRequest.push_back(r.ushort());
	if (d.adRequest[0] != 0)
	{
		for (int i = 1; i < d.adRequest[0]; ++i)
			d.adRequest.push_back(r.ushort());
	}
	d.cacheStamp = r.int64();
	size_t n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		r.byte();
		d.storedIds.push_back(r.int64());
	}
	d.deviceClass = r.ushort();
	d.agentVersion = r.ushort();
	d.reportTime = r.int64();
	d.apiKey = r.string();
	d.appVersion = r.string();
	n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		const uint16_t type = r.ushort();
		d.identifierTypes.push_back(type);
		if (type == 2)
			d.macBasedUID = r.shortData();
		else if (type == 4)
			d.macUID = r.shortData();
		else if (type == 3)
		{
			d.generatedUID = r.string();
			d.generatedStatus = r.byte();
		}
		else
			throw std::runtime_error("unknown identifier type " + std::to_string(type));
	}
	d.firstUse = r.int64();
	d.sessionStart = r.int64();
	n = r.ushort();
	for (size_t i = 0; i < n; ++i)
	{
		std::string key = r.string();
		d.properties.emplace_back(key, r.string());
	}
	n = r.ushort();
	for (size_t i = 0; i < n; ++i)
		d.records.push_back(DecodedRecord::read(r));
	const size_t end = r.position();
	d.checksum = static_cast<uint32_t>(r.int32());
	if (!r.atEnd())
		throw std::runtime_error("bytes left after the checksum");
	d.checksumMatches = d.checksum == static_cast<uint32_t>(crc32(0L, report.data(), static_cast<uInt>(end)));
	return d;
}
}
