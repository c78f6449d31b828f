#include <gr/DIPrimitive.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>

namespace gr
{
DIPrimitive::DIPrimitive() :
	m_positionScaleBias(1.f, 0.f, 0.f, 0.f),
	m_texCoordScaleBias(1.f, 0.f, 0.f, 0.f),
	m_boundMin(0.f, 0.f, 0.f),
	m_boundMax(0.f, 0.f, 0.f),
	m_boundRadius(0.f),
	m_sysMemData(nullptr),
	m_usedBone(nullptr),
	m_vertices(0),
	m_indices(0),
	m_vertexRangeBegin(0),
	m_vertexRangeEnd(0),
	m_indexRangeBegin(0),
	m_indexRangeEnd(0),
	m_usedBones(0),
	m_texCoordIdentity(true)
{
}

DIPrimitive::~DIPrimitive()
{
	clearState();
	DIPrimitive::deallocate();
}

void DIPrimitive::clearState()
{
	m_usedBones = 0;
	m_vf = VertexFormat();
	m_vertices = m_indices = 0;
	m_vertexRangeBegin = m_vertexRangeEnd = m_indexRangeBegin = m_indexRangeEnd = 0;
	delete[] m_usedBone;
	m_usedBone = nullptr;
}

unsigned char* DIPrimitive::plane(int slot) const
{
	if (!m_sysMemData)
		return nullptr;
	// The block starts with the table of plane pointers; read the one entry.
	unsigned char* p;
	std::memcpy(&p, m_sysMemData + size_t(slot) * sizeof(p), sizeof(p));
	return p;
}

void DIPrimitive::setFormat(const VertexFormat& vf, int vertices, int indices)
{
	LANG_ASSERT(vertices > 0 && vertices < 10000000);
	// Indices are 16-bit: a larger count could not be addressed.
	LANG_ASSERT(indices >= 0 && indices < 0x10000);
	if (type() == PRIM_TRIANGLES)
		LANG_ASSERT(indices % 3 == 0 && indices < 0x10000);
	clearState();
	deallocate();
	m_vf = vf;
	m_vertices = vertices;
	m_indices = indices;
	m_vertexRangeBegin = 0;
	m_vertexRangeEnd = vertices;
	m_indexRangeBegin = 0;
	m_indexRangeEnd = indices;
	allocate(vf, vertices, indices);
}

void DIPrimitive::allocate(const VertexFormat& vf, int vertices, int indices)
{
	LANG_ASSERT(m_sysMemData == 0);
	LANG_ASSERT(m_vf == vf);
	size_t planeBytes[VertexFormat::DT_SIZE];
	size_t total = PTR_TABLE * sizeof(unsigned char*);
	for (int dt = 0; dt < VertexFormat::DT_SIZE; ++dt)
	{
		const VertexFormat::DataFormat df = vf.getDataFormat(VertexFormat::DataType(dt));
		planeBytes[dt] = df == VertexFormat::DF_NONE ? 0 : size_t(VertexFormat::getDataSizeAligned(df, vf.alignEach())) * vertices;
		total += planeBytes[dt];
	}
	total += size_t(indices) * 2;
	unsigned char* data = static_cast<unsigned char*>(std::calloc(total, 1));
	if (!data)
		lang::throw_OutOfMemoryException();
	unsigned char* table[PTR_TABLE] = {};
	unsigned char* p = data + PTR_TABLE * sizeof(unsigned char*);
	for (int dt = 0; dt < VertexFormat::DT_SIZE; ++dt)
	{
		if (planeBytes[dt])
			table[dt] = p;
		p += planeBytes[dt];
	}
	if (indices > 0)
		table[VertexFormat::DT_SIZE] = p;
	std::memcpy(data, table, sizeof(table));
	m_sysMemData = data;
}

void DIPrimitive::deallocate()
{
	std::free(m_sysMemData);
	m_sysMemData = nullptr;
}

void DIPrimitive::setVertexPositions(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_POSITION, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexTransformedPositions(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_POSITIONT, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexNormals(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_NORMAL, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexDiffuseColors(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_DIFFUSE, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexSpecularColors(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_SPECULAR, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexTangents(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_TANGENT, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexBoneWeights(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_BONEWEIGHTS, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexBoneIndices(int first, const math::float4* data, int count)
{
	setVertexData(VertexFormat::DT_BONEINDICES, first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexTextureCoordinates(int first, int layer, const math::float4* data, int count)
{
	LANG_ASSERT(layer >= 0 && layer < m_vf.textureCoordinates());
	setVertexData(VertexFormat::DataType(VertexFormat::DT_TEX0 + layer), first, data, VertexFormat::DF_FLOAT4, count);
}

void DIPrimitive::setVertexPositionScaleBias(const math::float4& scaleBias)
{
	m_positionScaleBias = scaleBias;
}

void DIPrimitive::setVertexTextureCoordinateScaleBias(const math::float4& v)
{
	m_texCoordScaleBias = v;
	m_texCoordIdentity = v.x == 1.f && v.y == 0.f && v.z == 0.f && v.w == 0.f;
}

void DIPrimitive::setVertexData(VertexFormat::DataType dt, int first, const void* data, VertexFormat::DataFormat df, int count)
{
	const VertexFormat::DataFormat dstdf = m_vf.getDataFormat(dt);
	LANG_ASSERT(VertexFormat::DF_NONE != dstdf);
	LANG_ASSERT(first >= 0 && count >= 0 && first + count <= m_vertices);
	LANG_ASSERT(locked() != LOCK_NONE);
	// The plane and stride as getVertexDataPtr() gives them, with the format looked up
	// once: every 2-D batch comes through here.
	const int stride = VertexFormat::getDataSizeAligned(dstdf, m_vf.alignEach());
	VertexFormat::copyData(plane(dt) + size_t(first) * stride, stride, dstdf, data, VertexFormat::getDataSize(df), df, count);
}

void DIPrimitive::getVertexPositions(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_POSITION, first, data, count);
}

void DIPrimitive::getVertexNormals(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_NORMAL, first, data, count);
}

void DIPrimitive::getVertexDiffuseColors(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_DIFFUSE, first, data, count);
}

void DIPrimitive::getVertexSpecularColors(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_SPECULAR, first, data, count);
}

void DIPrimitive::getVertexTangents(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_TANGENT, first, data, count);
}

void DIPrimitive::getVertexBoneWeights(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_BONEWEIGHTS, first, data, count);
}

void DIPrimitive::getVertexBoneIndices(int first, math::float4* data, int count) const
{
	getVertexData(VertexFormat::DT_BONEINDICES, first, data, count);
}

void DIPrimitive::getVertexTextureCoordinates(int first, int layer, math::float4* data, int count) const
{
	LANG_ASSERT(layer >= 0 && layer < m_vf.textureCoordinates());
	getVertexData(VertexFormat::DataType(VertexFormat::DT_TEX0 + layer), first, data, count);
}

void DIPrimitive::getVertexData(VertexFormat::DataType dt, int first, math::float4* data, int count) const
{
	LANG_ASSERT(locked() & LOCK_READ);
	const int index = first;
	LANG_ASSERT(index >= 0 && count > 0 && index + count <= m_vertices);
	LANG_ASSERT(dt < VertexFormat::DT_SIZE);
	LANG_ASSERT(m_vf.hasData(dt));
	const VertexFormat::DataFormat df = m_vf.getDataFormat(dt);
	const int stride = VertexFormat::getDataSizeAligned(df, m_vf.alignEach());
	VertexFormat::copyData(data, sizeof(math::float4), VertexFormat::DF_FLOAT4, plane(dt) + size_t(first) * stride, stride, df, count);
}

void DIPrimitive::setIndexData(int first, const void* data, int indexSize, int count)
{
	LANG_ASSERT(locked() & LOCK_WRITE);
	LANG_ASSERT(first >= 0 && count > 0 && first + count <= m_indices);
	LANG_ASSERT(indexSize == 1 || indexSize == 2 || indexSize == 4);
	unsigned short* d = nullptr;
	int storeSize = 0;
	getIndexDataPtr(&d, &storeSize);
	LANG_ASSERT(storeSize == 2);
	d += first;
	for (int i = 0; i < count; ++i)
	{
		unsigned value;
		if (indexSize == 1)
			value = static_cast<const unsigned char*>(data)[i];
		else if (indexSize == 2)
			std::memcpy(&d[i], static_cast<const unsigned char*>(data) + 2 * i, 2), value = d[i];
		else
		{
			uint32_t s;
			std::memcpy(&s, static_cast<const unsigned char*>(data) + 4 * i, 4);
			d[i] = static_cast<unsigned short>(s);
			LANG_ASSERT(d[i] == s);
			value = s;
		}
		// An index past the vertices would make the device read outside the buffer.
		LANG_ASSERT((int)value < m_vertices);
		d[i] = static_cast<unsigned short>(value);
	}
}

void DIPrimitive::setIndices(int first, const int* data, int count)
{
	unsigned short* d = nullptr;
	int storeSize = 0;
	getIndexDataPtr(&d, &storeSize);
	LANG_ASSERT(storeSize == 2);
	LANG_ASSERT(first >= 0 && count >= 0 && first + count <= m_indices);
	for (int i = 0; i < count; ++i)
	{
		const unsigned short ix = static_cast<unsigned short>(data[i]);
		LANG_ASSERT((int)ix == data[i]);
		LANG_ASSERT((int)ix < m_vertices);
		d[first + i] = ix;
	}
}

void DIPrimitive::getIndices(int first, int* data, int count) const
{
	LANG_ASSERT(locked() & LOCK_READ);
	LANG_ASSERT(first >= 0 && count >= 0 && first + count <= m_indices);
	const unsigned short* s = reinterpret_cast<const unsigned short*>(plane(VertexFormat::DT_SIZE));
	for (int i = 0; i < count; ++i)
		data[i] = s[first + i];
}

void DIPrimitive::getVertexDataPtr(VertexFormat::DataType dt, unsigned char** data, int* stride)
{
	LANG_ASSERT(m_vf.hasData(dt));
	LANG_ASSERT(locked() != LOCK_NONE);
	*data = plane(dt);
	*stride = VertexFormat::getDataSizeAligned(m_vf.getDataFormat(dt), m_vf.alignEach());
}

void DIPrimitive::getIndexDataPtr(unsigned short** data, int* indexSize)
{
	LANG_ASSERT(m_indices > 0);
	LANG_ASSERT(locked() != LOCK_NONE);
	unsigned char* p = plane(VertexFormat::DT_SIZE);
	LANG_ASSERT(p && "No index data");
	*data = reinterpret_cast<unsigned short*>(p);
	*indexSize = 2;
}

void DIPrimitive::setVertexRangeBegin(int begin)
{
	LANG_ASSERT(begin >= 0 && begin < m_vertices);
	m_vertexRangeBegin = begin;
}

void DIPrimitive::setVertexRangeEnd(int end)
{
	LANG_ASSERT(end >= 0 && end <= m_vertices);
	m_vertexRangeEnd = end;
}

void DIPrimitive::setIndexRangeBegin(int begin)
{
	LANG_ASSERT(begin >= 0 && begin < m_indices);
	m_indexRangeBegin = begin & 0xFFFF;
}

void DIPrimitive::setIndexRangeEnd(int end)
{
	LANG_ASSERT(end >= 0 && end <= m_indices);
	m_indexRangeEnd = end & 0xFFFF;
}

void DIPrimitive::setBound(const math::float3& min, const math::float3& max, float radius)
{
	m_boundMin = min;
	m_boundMax = max;
	m_boundRadius = radius;
}

void DIPrimitive::setUsedBones(const unsigned char* bones, int count)
{
	LANG_ASSERT(locked() & LOCK_WRITE);
	const int usedbones = count;
	LANG_ASSERT(usedbones >= 0 && usedbones < 0x100);
	delete[] m_usedBone;
	m_usedBone = nullptr;
	m_usedBones = static_cast<unsigned char>(count);
	if (count > 0)
	{
		m_usedBone = new unsigned char[count];
		std::memcpy(m_usedBone, bones, count);
	}
}

void DIPrimitive::packBones()
{
	LANG_ASSERT(locked() & LOCK_READ);
	LANG_ASSERT(0 == m_usedBone);
	if (!m_vf.hasData(VertexFormat::DT_BONEINDICES))
		return;
	const bool weights = m_vf.hasData(VertexFormat::DT_BONEWEIGHTS);
	bool marked[MAX_BONES] = {};
	int usedBones = 0;
	for (int v = 0; v < m_vertices; ++v)
	{
		math::float4 w(1.f, 1.f, 1.f, 1.f), bi;
		if (weights)
			getVertexBoneWeights(v, &w, 1);
		getVertexBoneIndices(v, &bi, 1);
		for (int k = 0; k < 4; ++k)
		{
			const int ix = int(bi[k]);
			LANG_ASSERT(ix >= 0 && ix < MAX_BONES);
			if (w[k] > 0.f && !marked[ix])
			{
				marked[ix] = true;
				++usedBones;
				LANG_ASSERT(usedBones < MAX_BONES);
			}
		}
	}
	unsigned char map[MAX_BONES] = {};
	m_usedBone = new unsigned char[usedBones > 0 ? usedBones : 1];
	int n = 0;
	for (int b = 0; b < MAX_BONES; ++b)
		if (marked[b])
		{
			map[b] = static_cast<unsigned char>(n);
			m_usedBone[n++] = static_cast<unsigned char>(b);
		}
	m_usedBones = static_cast<unsigned char>(usedBones);
	for (int v = 0; v < m_vertices; ++v)
	{
		math::float4 bi;
		getVertexBoneIndices(v, &bi, 1);
		for (int k = 0; k < 4; ++k)
			bi[k] = float(map[int(bi[k])]);
		setVertexBoneIndices(v, &bi, 1);
	}
}

math::float3 DIPrimitive::center() const
{
	LANG_ASSERT(locked() != LOCK_NONE);
	math::float4 lo(FLT_MAX, FLT_MAX, FLT_MAX, 0.f), hi(-FLT_MAX, -FLT_MAX, -FLT_MAX, 0.f);
	for (int v = 0; v < m_vertices; ++v)
	{
		math::float4 p;
		getVertexPositions(v, &p, 1);
		for (int k = 0; k < 3; ++k)
		{
			lo[k] = std::min(lo[k], p[k]);
			hi[k] = std::max(hi[k], p[k]);
		}
	}
	return math::float3((lo.x + hi.x) * .5f, (lo.y + hi.y) * .5f, (lo.z + hi.z) * .5f);
}

void DIPrimitive::getTriangleDistances(const math::float3& camera, const math::float4x4& world, math::float4x4* bones, int boneCount,
	uint16_t* order, float* distances, int triCount) const
{
	LANG_ASSERT(triCount == (m_indices > 0 ? m_indices : m_vertices) / 3 && "Invalid triangle count");
	LANG_ASSERT(locked() != LOCK_NONE);
	LANG_ASSERT(boneCount >= 0 && boneCount < 256);
	// Without bone matrices (the centre-based sorts) positions are used unskinned.
	const bool skinned = bones && m_vf.hasData(VertexFormat::DT_BONEWEIGHTS) && m_vf.hasData(VertexFormat::DT_BONEINDICES);
	const unsigned short* ix = m_indices > 0 ? reinterpret_cast<const unsigned short*>(plane(VertexFormat::DT_SIZE)) : nullptr;
	const math::float4 eye(camera.x, camera.y, camera.z, 1.f);
	for (int t = 0; t < triCount; ++t)
	{
		order[t] = static_cast<uint16_t>(t);
		math::float4 centre(0.f, 0.f, 0.f, 0.f);
		for (int k = 0; k < 3; ++k)
		{
			const int v = ix ? ix[3 * t + k] : 3 * t + k;
			math::float4 p;
			getVertexPositions(v, &p, 1);
			p.w = 1.f;
			if (skinned)
			{
				math::float4 w, bi;
				getVertexBoneWeights(v, &w, 1);
				getVertexBoneIndices(v, &bi, 1);
				const int ix0 = int(bi.x), ix1 = int(bi.y);
				LANG_ASSERT(ix0 >= 0 && ix0 < boneCount);
				LANG_ASSERT(ix1 >= 0 && ix1 < boneCount);
				p = bones[ix0].transform(p) * w.x + bones[ix1].transform(p) * (1.f - w.x);
			}
			centre += p * (1.f / 3.f);
		}
		if (!skinned)
		{
			centre.w = 1.f;
			centre = world.transform(centre);
		}
		const math::float4 d = centre - eye;
		distances[t] = d.x * d.x + d.y * d.y + d.z * d.z + d.w * d.w;
	}
}

void DIPrimitive::reorderTriangles(const uint16_t* order, uint16_t* scratch)
{
	LANG_ASSERT(m_indices > 0 && "Only indexed primitives can be re-ordered!");
	unsigned short* ix = nullptr;
	int size = 0;
	getIndexDataPtr(&ix, &size);
	const int tricount = m_indices / 3;
	for (int i = 0; i < tricount; ++i)
	{
		const int newtri = order[i];
		LANG_ASSERT(newtri >= 0 && newtri < tricount);
		std::memcpy(scratch + 3 * i, ix + 3 * newtri, 3 * sizeof(uint16_t));
	}
	std::memcpy(ix, scratch, size_t(tricount) * 3 * sizeof(uint16_t));
}

void DIPrimitive::sort(const math::float3& camera, const math::float4x4& world, math::float4x4* bones, int boneCount, bool descending,
	SortBuffer& buffer)
{
	LANG_ASSERT(m_indices > 0 && "Only indexed primitives can be sorted");
	const int triCount = m_indices / 3;
	buffer.reset(triCount + m_indices, triCount);
	float* distances = buffer.floats();
	uint16_t* order = buffer.shorts();
	getTriangleDistances(camera, world, bones, boneCount, order, distances, triCount);
	if (descending)
		std::sort(order, order + triCount, [distances](uint16_t a, uint16_t b) { return distances[a] > distances[b]; });
	else
		std::sort(order, order + triCount, [distances](uint16_t a, uint16_t b) { return distances[a] < distances[b]; });
	if (triCount > 0)
		LANG_ASSERT(descending ? distances[order[0]] >= distances[order[triCount - 1]] : distances[order[0]] <= distances[order[triCount - 1]]);
	reorderTriangles(order, order + triCount);
}

void DIPrimitive::sortBackToFront(const math::float3& camera, const math::float4x4& world, math::float4x4* bones, int boneCount, SortBuffer& buffer)
{
	sort(camera, world, bones, boneCount, true, buffer);
}

void DIPrimitive::sortFrontToBack(const math::float3& camera, const math::float4x4& world, math::float4x4* bones, int boneCount, SortBuffer& buffer)
{
	sort(camera, world, bones, boneCount, false, buffer);
}

void DIPrimitive::sortInsideOut(SortBuffer& buffer)
{
	LANG_ASSERT(m_indices > 0 && "Only indexed primitives can be sorted");
	sort(center(), math::float4x4(1.f), nullptr, 0, false, buffer);
}

void DIPrimitive::sortOutsideIn(SortBuffer& buffer)
{
	LANG_ASSERT(m_indices > 0 && "Only indexed primitives can be sorted");
	sort(center(), math::float4x4(1.f), nullptr, 0, true, buffer);
}
}
