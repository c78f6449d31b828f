#include <gr/DIPrimitive.h>
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using gr::DIPrimitive;
using gr::VertexFormat;
typedef VertexFormat VF;

namespace
{
// A primitive with the device side left out and locking that can be switched off.
class TestPrimitive : public DIPrimitive
{
public:
	LockType lockState;

	TestPrimitive(PrimType type, const VertexFormat& vf, int vertices, int indices) : lockState(LOCK_READ | LOCK_WRITE), m_type(type)
	{
		VertexFormat f = vf;
		f.setAlignEach(4);
		setFormat(f, vertices, indices);
	}
	void setShader(gr::Shader*) override {}
	void render() override {}
	PrimType type() const override { return m_type; }
	gr::Shader* shader() const override { return nullptr; }
	LockType locked() const override { return lockState; }

private:
	PrimType m_type;
};

VertexFormat positions()
{
	VertexFormat vf;
	vf.addPosition(VF::DF_FLOAT3);
	return vf;
}

std::vector<int> indicesOf(const DIPrimitive& p)
{
	std::vector<int> out(p.indices());
	p.getIndices(0, out.data(), p.indices());
	return out;
}

// Triangles t = 0..n-1 at depth z[t], each made of its own three vertices.
lang::Ptr<TestPrimitive> trianglesAtDepths(const std::vector<float>& z)
{
	const int n = int(z.size());
	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_TRIANGLES, positions(), 3 * n, 3 * n);
	std::vector<math::float4> pos;
	std::vector<int> ix;
	for (int t = 0; t < n; ++t)
	{
		pos.push_back(math::float4(-1, 0, z[t], 1));
		pos.push_back(math::float4(1, 0, z[t], 1));
		pos.push_back(math::float4(0, 1, z[t], 1));
		for (int k = 0; k < 3; ++k)
			ix.push_back(3 * t + k);
	}
	p->setVertexPositions(0, pos.data(), 3 * n);
	p->setIndices(0, ix.data(), 3 * n);
	return p;
}

// The triangles' first vertex numbers divided by three, in index order.
std::vector<int> triangleOrder(const DIPrimitive& p)
{
	std::vector<int> ix = indicesOf(p), out;
	for (size_t i = 0; i < ix.size(); i += 3)
		out.push_back(ix[i] / 3);
	return out;
}
}

TEST(SortBuffer, Layout)
{
	gr::SortBuffer buf;
	buf.reset(6, 2);
	EXPECT_EQ(2u * 6 + 4u * 2 + 4u, buf.size());
	EXPECT_EQ(reinterpret_cast<uint8_t*>(buf.floats()) + 8, reinterpret_cast<uint8_t*>(buf.shorts()));
	const char* marker = reinterpret_cast<const char*>(buf.shorts() + 6);
	EXPECT_EQ(0, std::memcmp(marker, "ok!", 4));
	buf.reset(1, 1);
	EXPECT_EQ(10u, buf.size());
}

TEST(DIPrimitive, StoreWritesAndReadsEachComponent)
{
	VertexFormat vf;
	vf.addPosition(VF::DF_FLOAT3).addDiffuse(VF::DF_BYTE3).addTextureCoordinate(VF::DF_HALF2);
	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 4, 6);
	EXPECT_EQ(4, p->vertices());
	EXPECT_EQ(6, p->indices());
	EXPECT_EQ(4, p->vertexFormat().alignEach());

	const math::float4 pos[2] = {math::float4(1, 2, 3, 9), math::float4(4, 5, 6, 9)};
	p->setVertexPositions(2, pos, 2);
	const math::float4 col[1] = {math::float4(-1, 100, 127, 0)};
	p->setVertexDiffuseColors(3, col, 1);
	const math::float4 uv[1] = {math::float4(0.5f, 0.25f, 0, 0)};
	p->setVertexTextureCoordinates(1, 0, uv, 1);

	math::float4 out[4];
	p->getVertexPositions(0, out, 4);
	EXPECT_EQ(math::float4(0, 0, 0, 0), out[0]); // the store starts zeroed
	EXPECT_EQ(math::float4(1, 2, 3, 0), out[2]);
	EXPECT_EQ(math::float4(4, 5, 6, 0), out[3]);
	p->getVertexDiffuseColors(3, out, 1);
	EXPECT_EQ(math::float4(-1, 100, 127, 0), out[0]);
	p->getVertexTextureCoordinates(1, 0, out, 1);
	EXPECT_EQ(math::float4(0.5f, 0.25f, 0, 0), out[0]);

	// Planes are per component with aligned strides.
	unsigned char* data;
	int stride;
	p->getVertexDataPtr(VF::DT_DIFFUSE, &data, &stride);
	EXPECT_EQ(4, stride);
	EXPECT_EQ(0xFF, data[3 * 4]);
	p->getVertexDataPtr(VF::DT_POSITION, &data, &stride);
	EXPECT_EQ(12, stride);

	// Raw data in another format is converted.
	const short shorts[2] = {7, -8};
	p->setVertexData(VF::DT_TEX0, 0, shorts, VF::DF_SHORT2, 1);
	p->getVertexData(VF::DT_TEX0, 0, out, 1);
	EXPECT_EQ(math::float4(7, -8, 0, 0), out[0]);

	EXPECT_DEATH(p->setVertexTextureCoordinates(0, 1, uv, 1), "textureCoordinates");
	EXPECT_DEATH(p->setVertexNormals(0, pos, 1), "DF_NONE");
	EXPECT_DEATH(p->setVertexPositions(3, pos, 2), "m_vertices");
	EXPECT_DEATH(p->getVertexPositions(3, out, 2), "m_vertices");
	p->lockState = gr::ContextObject::LOCK_WRITE;
	EXPECT_DEATH(p->getVertexPositions(0, out, 1), "LOCK_READ");
	p->lockState = gr::ContextObject::LOCK_NONE;
	EXPECT_DEATH(p->setVertexPositions(0, pos, 1), "LOCK_NONE");
}

TEST(DIPrimitive, IndexData)
{
	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_TRIANGLES, positions(), 300, 9);
	const unsigned char bytes[3] = {1, 2, 255};
	p->setIndexData(0, bytes, 1, 3);
	const unsigned short shorts[3] = {3, 299, 5};
	p->setIndexData(3, shorts, 2, 3);
	const uint32_t words[3] = {6, 7, 8};
	p->setIndexData(6, words, 4, 3);
	const std::vector<int> expected = {1, 2, 255, 3, 299, 5, 6, 7, 8};
	EXPECT_EQ(expected, indicesOf(*p));

	const uint32_t tooBig[1] = {0x10001};
	EXPECT_DEATH(p->setIndexData(0, tooBig, 4, 1), "");
	const unsigned short past[1] = {300};
	EXPECT_DEATH(p->setIndexData(0, past, 2, 1), "m_vertices");
	const int negative[1] = {-1};
	EXPECT_DEATH(p->setIndices(0, negative, 1), "data\\[i\\]");
	const int outside[1] = {300};
	EXPECT_DEATH(p->setIndices(0, outside, 1), "m_vertices");
	EXPECT_DEATH(p->setIndexData(8, bytes, 1, 2), "m_indices");
	EXPECT_DEATH(p->setIndexData(0, bytes, 3, 1), "indexSize");

	lang::Ptr<TestPrimitive> strip = new TestPrimitive(gr::Primitive::PRIM_TRIANGLESTRIP, positions(), 4, 0);
	unsigned short* ix;
	int size;
	EXPECT_DEATH(strip->getIndexDataPtr(&ix, &size), "m_indices > 0");
}

TEST(DIPrimitive, FormatCountsAndRanges)
{
	EXPECT_DEATH(TestPrimitive(gr::Primitive::PRIM_TRIANGLES, positions(), 6, 4), "indices % 3 == 0");
	EXPECT_DEATH(TestPrimitive(gr::Primitive::PRIM_POINTS, positions(), 0, 0), "vertices > 0");
	EXPECT_DEATH(TestPrimitive(gr::Primitive::PRIM_LINES, positions(), 4, 0x10000), "0x10000");

	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_LINES, positions(), 10, 20);
	EXPECT_EQ(0, p->vertexRangeBegin());
	EXPECT_EQ(10, p->vertexRangeEnd());
	EXPECT_EQ(0, p->indexRangeBegin());
	EXPECT_EQ(20, p->indexRangeEnd());
	p->setVertexRangeBegin(9);
	p->setVertexRangeEnd(10);
	p->setIndexRangeBegin(2);
	p->setIndexRangeEnd(4);
	EXPECT_EQ(9, p->vertexRangeBegin());
	EXPECT_EQ(4, p->indexRangeEnd());
	EXPECT_DEATH(p->setVertexRangeBegin(10), "m_vertices");
	EXPECT_DEATH(p->setVertexRangeEnd(11), "m_vertices");
	EXPECT_DEATH(p->setIndexRangeBegin(20), "m_indices");
	EXPECT_DEATH(p->setIndexRangeEnd(-1), "end >= 0");

	// A new format discards the contents and resets the ranges.
	VertexFormat vf = positions();
	vf.setAlignEach(4);
	p->setFormat(vf, 5, 0);
	EXPECT_EQ(5, p->vertexRangeEnd());
	EXPECT_EQ(0, p->indexRangeEnd());
	EXPECT_EQ(0, p->indices());

	EXPECT_TRUE(p->vertexTextureCoordinateScaleBiasIsIdentity());
	p->setVertexTextureCoordinateScaleBias(math::float4(1, 0, 0, 0.5f));
	EXPECT_FALSE(p->vertexTextureCoordinateScaleBiasIsIdentity());
	p->setVertexTextureCoordinateScaleBias(math::float4(1, -0.f, 0, 0));
	EXPECT_TRUE(p->vertexTextureCoordinateScaleBiasIsIdentity());
	EXPECT_EQ(math::float4(1, 0, 0, 0), p->vertexPositionScaleBias());
	p->setBound(math::float3(-1, -2, -3), math::float3(1, 2, 3), 4);
	EXPECT_EQ(math::float3(1, 2, 3), p->boundMax());
	EXPECT_EQ(4.f, p->boundRadius());
}

TEST(DIPrimitive, PackBones)
{
	VertexFormat vf = positions();
	vf.setDataFormat(VF::DT_BONEWEIGHTS, VF::DF_FLOAT4).setDataFormat(VF::DT_BONEINDICES, VF::DF_BYTE4);
	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_POINTS, vf, 2, 0);
	const math::float4 weights[2] = {math::float4(0.5f, 0.5f, 0, 0), math::float4(1, 0, 0, 0)};
	const math::float4 bones[2] = {math::float4(7, 3, 9, 0), math::float4(3, 9, 0, 0)};
	p->setVertexBoneWeights(0, weights, 2);
	p->setVertexBoneIndices(0, bones, 2);
	p->packBones();
	ASSERT_EQ(2, p->usedBones());
	EXPECT_EQ(3, p->usedBoneArray()[0]);
	EXPECT_EQ(7, p->usedBoneArray()[1]);
	math::float4 out[2];
	p->getVertexBoneIndices(0, out, 2);
	EXPECT_EQ(math::float4(1, 0, 0, 0), out[0]);
	EXPECT_EQ(math::float4(0, 0, 0, 0), out[1]);
	EXPECT_DEATH(p->packBones(), "0 == m_usedBone");

	const unsigned char used[3] = {4, 5, 6};
	p->setUsedBones(used, 3);
	EXPECT_EQ(3, p->usedBones());
	EXPECT_EQ(6, p->usedBoneArray()[2]);
	p->setUsedBones(nullptr, 0);
	EXPECT_EQ(nullptr, p->usedBoneArray());
	EXPECT_DEATH(p->setUsedBones(used, 256), "0x100");
}

TEST(DIPrimitive, SortsByDistance)
{
	gr::SortBuffer buf;
	const math::float3 camera(0, 0, 0);
	const math::float4x4 identity(1.f);
	lang::Ptr<TestPrimitive> p = trianglesAtDepths({1, 5, 3, 9});

	p->sortBackToFront(camera, identity, nullptr, 0, buf);
	EXPECT_EQ((std::vector<int>{3, 1, 2, 0}), triangleOrder(*p));
	p->sortFrontToBack(camera, identity, nullptr, 0, buf);
	EXPECT_EQ((std::vector<int>{0, 2, 1, 3}), triangleOrder(*p));

	// Through the world matrix: moved 10 back, the nearest is still depth 1.
	math::float4x4 back(1.f);
	back(2, 3) = -10.f;
	p->sortFrontToBack(math::float3(0, 0, -20), back, nullptr, 0, buf);
	EXPECT_EQ((std::vector<int>{0, 2, 1, 3}), triangleOrder(*p));

	// About the box centre (z = 5): 5 first, then 3, then 9 and 1 (equal, any order).
	p->sortInsideOut(buf);
	std::vector<int> order = triangleOrder(*p);
	EXPECT_EQ(1, order[0]);
	EXPECT_EQ(2, order[1]);
	p->sortOutsideIn(buf);
	order = triangleOrder(*p);
	EXPECT_EQ(2, order[2]);
	EXPECT_EQ(1, order[3]);

	lang::Ptr<TestPrimitive> one = trianglesAtDepths({2});
	one->sortBackToFront(camera, identity, nullptr, 0, buf);
	EXPECT_EQ((std::vector<int>{0, 1, 2}), indicesOf(*one));

	lang::Ptr<TestPrimitive> unindexed = new TestPrimitive(gr::Primitive::PRIM_TRIANGLES, positions(), 3, 0);
	EXPECT_DEATH(unindexed->sortBackToFront(camera, identity, nullptr, 0, buf), "Only indexed primitives can be sorted");
}

TEST(DIPrimitive, SkinnedDistances)
{
	VertexFormat vf = positions();
	vf.setDataFormat(VF::DT_BONEWEIGHTS, VF::DF_FLOAT1).setDataFormat(VF::DT_BONEINDICES, VF::DF_BYTE2);
	lang::Ptr<TestPrimitive> p = new TestPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 3, 3);
	const math::float4 pos[3] = {math::float4(0, 0, 0, 0), math::float4(0, 0, 0, 0), math::float4(0, 0, 0, 0)};
	const math::float4 w[3] = {math::float4(1, 0, 0, 0), math::float4(0.5f, 0, 0, 0), math::float4(0, 0, 0, 0)};
	const math::float4 bi[3] = {math::float4(0, 1, 0, 0), math::float4(0, 1, 0, 0), math::float4(0, 1, 0, 0)};
	p->setVertexPositions(0, pos, 3);
	p->setVertexBoneWeights(0, w, 3);
	p->setVertexBoneIndices(0, bi, 3);
	const int ix[3] = {0, 1, 2};
	p->setIndices(0, ix, 3);
	// Bone 0 moves points to x = 3, bone 1 to x = 6: the vertices land at 3, 4.5 and 6.
	math::float4x4 bones[2] = {math::float4x4(1.f), math::float4x4(1.f)};
	bones[0](0, 3) = 3.f;
	bones[1](0, 3) = 6.f;
	uint16_t order[1];
	float distance[1];
	p->getTriangleDistances(math::float3(0, 0, 0), math::float4x4(1.f), bones, 2, order, distance, 1);
	EXPECT_EQ(0, order[0]);
	EXPECT_FLOAT_EQ(4.5f * 4.5f, distance[0]);
	EXPECT_DEATH(p->getTriangleDistances(math::float3(0, 0, 0), math::float4x4(1.f), bones, 1, order, distance, 1), "boneworldtmcount|boneCount");
	EXPECT_DEATH(p->getTriangleDistances(math::float3(0, 0, 0), math::float4x4(1.f), bones, 2, order, distance, 2), "Invalid triangle count");
}
