#include <gr/VertexFormat.h>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <limits>

using gr::VertexFormat;
typedef VertexFormat VF;

TEST(VertexFormat, VertexSizeWithAlignment)
{
	struct Case
	{
		VF::DataFormat diffuse;
		int align, size;
	} cases[] = {
		{VF::DF_BYTE4, 1, 24},
		{VF::DF_BYTE4, 4, 24},
		{VF::DF_BYTE3, 1, 23},
		{VF::DF_BYTE3, 4, 24},
		{VF::DF_BYTE3, 16, 48},
	};
	for (const Case& c : cases)
	{
		VertexFormat vf;
		vf.addPosition(VF::DF_FLOAT3).addDiffuse(c.diffuse).addTextureCoordinate(VF::DF_FLOAT2);
		vf.setAlignEach(c.align);
		EXPECT_EQ(c.size, vf.vertexSize()) << c.diffuse << " align " << c.align;
	}
}

TEST(VertexFormat, ComponentsAndEquality)
{
	VertexFormat vf;
	EXPECT_EQ(0, vf.textureCoordinates());
	EXPECT_EQ(0, vf.vertexSize());
	vf.addTextureCoordinate(VF::DF_FLOAT2).addTextureCoordinate(VF::DF_HALF2).addTextureCoordinate(VF::DF_SHORT2);
	EXPECT_EQ(3, vf.textureCoordinates());
	EXPECT_EQ(VF::DF_HALF2, vf.getDataFormat(VF::DT_TEX1));
	EXPECT_TRUE(vf.hasData(VF::DT_TEX2));
	EXPECT_FALSE(vf.hasData(VF::DT_TEX3));
	vf.addTextureCoordinate(VF::DF_FLOAT1);
	EXPECT_EQ(4, vf.textureCoordinates());
	EXPECT_DEATH(vf.addTextureCoordinate(VF::DF_FLOAT1), "Too many texture coordinate layers");

	// Neighbouring components share a byte without disturbing each other.
	VertexFormat a, b;
	a.setDataFormat(VF::DT_BONEWEIGHTS, VF::DF_HALF3).setDataFormat(VF::DT_BONEINDICES, VF::DF_BYTE4);
	EXPECT_EQ(VF::DF_HALF3, a.getDataFormat(VF::DT_BONEWEIGHTS));
	EXPECT_EQ(VF::DF_BYTE4, a.getDataFormat(VF::DT_BONEINDICES));
	b.setDataFormat(VF::DT_BONEINDICES, VF::DF_BYTE4);
	EXPECT_NE(a, b);
	b.setDataFormat(VF::DT_BONEWEIGHTS, VF::DF_HALF3);
	b.setAlignEach(4); // alignment is not compared
	EXPECT_EQ(a, b);

	EXPECT_STREQ("DT_POSITIONT", VertexFormat::toString(VF::DT_POSITIONT));
	EXPECT_STREQ("DT_TANGENT", VertexFormat::toString(VF::DT_TANGENT));
	EXPECT_EQ(8, VertexFormat::getDataSize(VF::DF_HALF4));
	EXPECT_EQ(4, VertexFormat::getDataDim(VF::DF_RGB5A1));
	EXPECT_EQ(0, VertexFormat::getDataSize(VF::DataFormat(40)));
	EXPECT_EQ(8, VertexFormat::getDataSizeAligned(VF::DF_SHORT3, 4));

	VertexFormat p;
	p.addPosition(VF::DF_FLOAT3);
	EXPECT_DEATH(p.addPosition(VF::DF_FLOAT3), "DF_NONE");
	EXPECT_DEATH(p.setDataFormat(VF::DT_NORMAL, VF::DF_HALF4), "0xF");
	EXPECT_DEATH(p.setAlignEach(3), "");
	EXPECT_DEATH(p.getDataFormat(VF::DT_SIZE), "DT_SIZE");
}

TEST(VertexFormat, GetDataReadsEachStorage)
{
	struct Case
	{
		VF::DataFormat df;
		unsigned char bytes[16];
		math::float4 value;
	} cases[] = {
		{VF::DF_BYTE2, {0xFF, 0x01}, math::float4(-1, 1, 0, 0)},
		{VF::DF_BYTE4, {0x80, 0x7F, 0, 3}, math::float4(-128, 127, 0, 3)},
		{VF::DF_SHORT3, {0x00, 0x80, 0xFF, 0x7F, 0x02, 0x00}, math::float4(-32768, 32767, 2, 0)},
		{VF::DF_RGB5A1, {0x1F, 0x80}, math::float4(31, 0, 0, 1)},
		{VF::DF_RGB5A1, {0xE0, 0x7F}, math::float4(0, 31, 31, 0)},
		{VF::DF_HALF2, {0x00, 0x3C, 0x01, 0x00}, math::float4(1.f, std::ldexp(1.f, -24), 0, 0)},
		{VF::DF_HALF4, {0xFF, 0x7B, 0x00, 0xC0, 0x00, 0x80, 0xFF, 0x03}, math::float4(65504.f, -2.f, -0.f, std::ldexp(1023.f, -24))},
		{VF::DF_FLOAT1, {0x00, 0x00, 0x80, 0x3F}, math::float4(1, 0, 0, 0)},
	};
	for (const Case& c : cases)
	{
		math::float4 out(9, 9, 9, 9);
		VertexFormat::getData(c.df, c.bytes, &out);
		EXPECT_EQ(c.value, out) << "format " << c.df;
	}
	// Infinity and NaN payloads survive.
	const unsigned char special[4] = {0x00, 0xFC, 0x01, 0x7E};
	math::float4 out;
	VertexFormat::getData(VF::DF_HALF2, special, &out);
	EXPECT_TRUE(std::isinf(out.x) && out.x < 0);
	uint32_t bits;
	std::memcpy(&bits, &out.y, 4);
	EXPECT_EQ(0x7FC02000u, bits);
	// An unknown format leaves the output alone.
	math::float4 keep(5, 6, 7, 8);
	VertexFormat::getData(VF::DataFormat(17), special, &keep);
	EXPECT_EQ(math::float4(5, 6, 7, 8), keep);
}

TEST(VertexFormat, SetDataWritesEachStorage)
{
	struct Case
	{
		VF::DataFormat df;
		math::float4 value;
		int bytes;
		unsigned char expected[8];
	} cases[] = {
		{VF::DF_HALF2, math::float4(1.f, 65504.f, 0, 0), 4, {0x00, 0x3C, 0xFF, 0x7B}},
		// Ties round away from zero: 65520 overflows.
		{VF::DF_HALF2, math::float4(65520.f, -1e6f, 0, 0), 4, {0x00, 0x7C, 0x00, 0xFC}},
		// Below the smallest subnormal: +0 whatever the sign.
		{VF::DF_HALF2, math::float4(-1.0e-10f, std::ldexp(1.f, -24), 0, 0), 4, {0x00, 0x00, 0x01, 0x00}},
		// Subnormal rounding: 1.5 units rounds to 2; 2^-14 is the smallest normal.
		{VF::DF_HALF2, math::float4(std::ldexp(3.f, -25), std::ldexp(1.f, -14), 0, 0), 4, {0x02, 0x00, 0x00, 0x04}},
		{VF::DF_HALF2, math::float4(1.00048828125f, -0.333251953125f, 0, 0), 4, {0x01, 0x3C, 0x55, 0xB5}},
		{VF::DF_BYTE3, math::float4(-1.9f, 255.f, 300.f, 0), 3, {0xFF, 0xFF, 0x2C}},
		{VF::DF_SHORT2, math::float4(-2.5f, 70000.f, 0, 0), 4, {0xFE, 0xFF, 0x70, 0x11}},
		{VF::DF_RGB5A1, math::float4(31.9f, 33.f, 1.f, 0.5f), 2, {0x3F, 0x04}},
		{VF::DF_RGB5A1, math::float4(0, 0, 0, -1.f), 2, {0x00, 0x80}},
	};
	for (const Case& c : cases)
	{
		unsigned char out[8] = {};
		VertexFormat::setData(c.df, out, c.value);
		for (int i = 0; i < c.bytes; ++i)
			EXPECT_EQ(c.expected[i], out[i]) << "format " << c.df << " byte " << i;
	}
	unsigned char nan[4];
	VertexFormat::setData(VF::DF_HALF2, nan, math::float4(std::numeric_limits<float>::quiet_NaN(), 0, 0, 0));
	const unsigned h = nan[0] | (nan[1] << 8);
	EXPECT_EQ(0x7C00u, h & 0x7C00);
	EXPECT_NE(0u, h & 0x3FF);
}

TEST(VertexFormat, CopyData)
{
	// Equal formats: one block copy, or element by element with strides.
	const float src[6] = {1, 2, 3, 4, 5, 6};
	float packed[6] = {};
	VertexFormat::copyData(packed, 8, VF::DF_FLOAT2, src, 8, VF::DF_FLOAT2, 3);
	EXPECT_EQ(0, std::memcmp(src, packed, sizeof(src)));
	float strided[9];
	std::fill(strided, strided + 9, -1.f);
	VertexFormat::copyData(strided, 12, VF::DF_FLOAT2, src, 8, VF::DF_FLOAT2, 3);
	const float expected[9] = {1, 2, -1, 3, 4, -1, 5, 6, -1};
	EXPECT_EQ(0, std::memcmp(expected, strided, sizeof(expected)));

	// Different formats convert through float4, dropping extra components.
	const float colours[8] = {255, 128, 0, 64, 1, 2, 3, 4};
	unsigned char bytes[8];
	VertexFormat::copyData(bytes, 4, VF::DF_BYTE4, colours, 16, VF::DF_FLOAT4, 2);
	const unsigned char wantBytes[8] = {0xFF, 0x80, 0, 64, 1, 2, 3, 4};
	EXPECT_EQ(0, std::memcmp(wantBytes, bytes, 8));
	float back[4] = {9, 9, 9, 9};
	VertexFormat::copyData(back, 16, VF::DF_FLOAT4, bytes + 4, 4, VF::DF_BYTE2, 1);
	EXPECT_EQ(1.f, back[0]);
	EXPECT_EQ(2.f, back[1]);
	EXPECT_EQ(0.f, back[2]);
	EXPECT_EQ(0.f, back[3]);
}
