#include <gr/VertexFormat.h>
#include <lang/assert.h>
#include "HalfFloat.h"
#include <cmath>
#include <cstring>

namespace gr
{
namespace
{
const char* const DATATYPE_NAMES[VertexFormat::DT_SIZE] = {
	"DT_POSITION", "DT_POSITIONT", "DT_BONEWEIGHTS", "DT_BONEINDICES", "DT_NORMAL", "DT_DIFFUSE",
	"DT_SPECULAR", "DT_TEX0", "DT_TEX1", "DT_TEX2", "DT_TEX3", "DT_TANGENT",
};

// Bytes and number of values of each data format.
const int DATA_SIZE[VertexFormat::DF_SIZE] = {0, 4, 2, 1, 8, 4, 2, 12, 6, 3, 16, 8, 4, 2, 4, 6, 8};
const int DATA_DIM[VertexFormat::DF_SIZE] = {0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 4, 2, 3, 4};

enum Storage { ST_NONE, ST_FLOAT, ST_SHORT, ST_BYTE, ST_RGB5A1, ST_HALF };
const Storage STORAGE[VertexFormat::DF_SIZE] = {ST_NONE, ST_FLOAT, ST_SHORT, ST_BYTE, ST_FLOAT, ST_SHORT, ST_BYTE, ST_FLOAT,
	ST_SHORT, ST_BYTE, ST_FLOAT, ST_SHORT, ST_BYTE, ST_RGB5A1, ST_HALF, ST_HALF, ST_HALF};

bool validAlign(int align)
{
	return align == 1 || align == 2 || align == 4 || align == 8 || align == 16;
}

// Truncation toward zero that stays defined for any float; NaN gives 0.
long long truncated(float v)
{
	if (!(v == v))
		return 0;
	if (v >= 9.2e18f)
		return 9200000000000000000LL;
	if (v <= -9.2e18f)
		return -9200000000000000000LL;
	return static_cast<long long>(v);
}
}

VertexFormat::VertexFormat() : m_alignVertex(1), m_alignEach(1)
{
	std::memset(m_data, 0, sizeof(m_data));
}

VertexFormat& VertexFormat::setDataFormat(DataType dt, DataFormat df)
{
	LANG_ASSERT((unsigned)dt < (unsigned)DT_SIZE);
	const int value = df;
	LANG_ASSERT(value >= 0 && value <= 0xF);
	unsigned char& byte = m_data[dt >> 1];
	if (dt & 1)
		byte = static_cast<unsigned char>((byte & 0x0F) | (value << 4));
	else
		byte = static_cast<unsigned char>((byte & 0xF0) | value);
	return *this;
}

VertexFormat& VertexFormat::addPosition(DataFormat df)
{
	LANG_ASSERT(getDataFormat(DT_POSITION) == DF_NONE);
	LANG_ASSERT(getDataFormat(DT_POSITIONT) == DF_NONE);
	return setDataFormat(DT_POSITION, df);
}

VertexFormat& VertexFormat::addDiffuse(DataFormat df)
{
	LANG_ASSERT(getDataFormat(DT_DIFFUSE) == DF_NONE);
	return setDataFormat(DT_DIFFUSE, df);
}

VertexFormat& VertexFormat::addTextureCoordinate(DataFormat df)
{
	for (int i = 0; i < MAX_TEXCOORDS; ++i)
	{
		const DataType dt = DataType(DT_TEX0 + i);
		if (getDataFormat(dt) == DF_NONE)
			return setDataFormat(dt, df);
	}
	LANG_ASSERT(!"Too many texture coordinate layers in vertex format");
	return *this;
}

int VertexFormat::textureCoordinates() const
{
	int n = 0;
	while (n < MAX_TEXCOORDS && getDataFormat(DataType(DT_TEX0 + n)) != DF_NONE)
		++n;
	return n;
}

VertexFormat::DataFormat VertexFormat::getDataFormat(DataType dt) const
{
	LANG_ASSERT((unsigned)dt < (unsigned)DT_SIZE);
	const unsigned char byte = m_data[dt >> 1];
	return DataFormat((dt & 1) ? byte >> 4 : byte & 0x0F);
}

void VertexFormat::setAlignEach(int align)
{
	LANG_ASSERT(validAlign(align));
	m_alignEach = static_cast<unsigned char>(align);
}

int VertexFormat::vertexSize() const
{
	int size = 0;
	for (int dt = 0; dt < DT_SIZE; ++dt)
	{
		const DataFormat df = getDataFormat(DataType(dt));
		if (df != DF_NONE)
			size += getDataSizeAligned(df, m_alignEach);
	}
	return (size + m_alignVertex - 1) / m_alignVertex * m_alignVertex;
}

bool VertexFormat::operator==(const VertexFormat& o) const
{
	return std::memcmp(m_data, o.m_data, sizeof(m_data)) == 0;
}

const char* VertexFormat::toString(DataType dt)
{
	LANG_ASSERT(dt < DT_SIZE);
	return DATATYPE_NAMES[dt];
}

int VertexFormat::getDataSize(DataFormat df)
{
	return (unsigned)df < (unsigned)DF_SIZE ? DATA_SIZE[df] : 0;
}

int VertexFormat::getDataDim(DataFormat df)
{
	return (unsigned)df < (unsigned)DF_SIZE ? DATA_DIM[df] : 0;
}

int VertexFormat::getDataSizeAligned(DataFormat df, int align)
{
	LANG_ASSERT(align == 1 || align == 2 || align == 4 || align == 8 || align == 16);
	return (getDataSize(df) + align - 1) & ~(align - 1);
}

void VertexFormat::getData(DataFormat df, const void* src, math::float4* out)
{
	if (df <= DF_NONE || df >= DF_SIZE)
		return;
	const unsigned char* p = static_cast<const unsigned char*>(src);
	float v[4] = {0.f, 0.f, 0.f, 0.f};
	const int dim = DATA_DIM[df];
	switch (STORAGE[df])
	{
	case ST_FLOAT:
		std::memcpy(v, p, 4 * dim);
		break;
	case ST_SHORT:
		for (int i = 0; i < dim; ++i)
		{
			int16_t s;
			std::memcpy(&s, p + 2 * i, 2);
			v[i] = s;
		}
		break;
	case ST_BYTE:
		for (int i = 0; i < dim; ++i)
			v[i] = static_cast<signed char>(p[i]);
		break;
	case ST_RGB5A1:
	{
		const unsigned w = p[0] | (p[1] << 8);
		v[0] = float(w & 31);
		v[1] = float((w >> 5) & 31);
		v[2] = float((w >> 10) & 31);
		v[3] = float((w >> 15) & 1);
		break;
	}
	case ST_HALF:
		for (int i = 0; i < dim; ++i)
			v[i] = halfToFloat(uint16_t(p[2 * i] | (p[2 * i + 1] << 8)));
		break;
	default:
		break;
	}
	*out = math::float4(v[0], v[1], v[2], v[3]);
}

void VertexFormat::setData(DataFormat df, void* dst, const math::float4& in)
{
	if (df <= DF_NONE || df >= DF_SIZE)
		return;
	unsigned char* p = static_cast<unsigned char*>(dst);
	const float v[4] = {in.x, in.y, in.z, in.w};
	const int dim = DATA_DIM[df];
	switch (STORAGE[df])
	{
	case ST_FLOAT:
		std::memcpy(p, v, 4 * dim);
		break;
	case ST_SHORT:
		for (int i = 0; i < dim; ++i)
		{
			const uint16_t s = static_cast<uint16_t>(truncated(v[i]) & 0xFFFF);
			std::memcpy(p + 2 * i, &s, 2);
		}
		break;
	case ST_BYTE:
		for (int i = 0; i < dim; ++i)
			p[i] = static_cast<unsigned char>(truncated(v[i]) & 0xFF);
		break;
	case ST_RGB5A1:
	{
		const unsigned w = unsigned(truncated(v[0]) & 31) | unsigned(truncated(v[1]) & 31) << 5 |
			unsigned(truncated(v[2]) & 31) << 10 | (truncated(v[3]) != 0 ? 0x8000u : 0u);
		p[0] = uint8_t(w);
		p[1] = uint8_t(w >> 8);
		break;
	}
	case ST_HALF:
		for (int i = 0; i < dim; ++i)
		{
			const uint16_t h = floatToHalf(v[i]);
			p[2 * i] = uint8_t(h);
			p[2 * i + 1] = uint8_t(h >> 8);
		}
		break;
	default:
		break;
	}
}

void VertexFormat::copyData(void* dst, int dstStride, DataFormat dstFormat, const void* src, int srcStride, DataFormat srcFormat, int count)
{
	unsigned char* d = static_cast<unsigned char*>(dst);
	const unsigned char* s = static_cast<const unsigned char*>(src);
	if (count <= 0)
		return;
	if (dstFormat == srcFormat)
	{
		const int size = getDataSize(srcFormat);
		if (dstStride == size && srcStride == size)
		{
			std::memcpy(d, s, size_t(srcStride) * count);
			return;
		}
		for (int i = 0; i < count; ++i, d += dstStride, s += srcStride)
			std::memcpy(d, s, size);
		return;
	}
	for (int i = 0; i < count; ++i, d += dstStride, s += srcStride)
	{
		math::float4 v(0.f, 0.f, 0.f, 0.f);
		getData(srcFormat, s, &v);
		setData(dstFormat, d, v);
	}
}
}
