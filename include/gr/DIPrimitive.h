#ifndef GR_DIPRIMITIVE_H
#define GR_DIPRIMITIVE_H

#include <gr/Primitive.h>
#include <gr/SortBuffer.h>
#include <gr/VertexFormat.h>
#include <math/float3.h>
#include <math/float4.h>
#include <math/float4x4.h>

namespace gr
{
/**
 * System-memory vertex and 16-bit index store under the back ends'
 * primitives, which add the device side (shader, buffers, drawing).
 * Vertices are kept in one plane per component; triangles can be
 * reordered by distance before drawing.
 */
class DIPrimitive : public Primitive
{
public:
	enum { MAX_BONES = 255 };

	~DIPrimitive() override;

	void setVertexPositions(int first, const math::float4* data, int count) override;
	void setVertexPositionScaleBias(const math::float4& scaleBias) override;
	void setVertexTransformedPositions(int first, const math::float4* data, int count) override;
	void setVertexNormals(int first, const math::float4* data, int count) override;
	void setVertexDiffuseColors(int first, const math::float4* data, int count) override;
	void setVertexSpecularColors(int first, const math::float4* data, int count) override;
	void setVertexTangents(int first, const math::float4* data, int count) override;
	void setVertexBoneWeights(int first, const math::float4* data, int count) override;
	void setVertexBoneIndices(int first, const math::float4* data, int count) override;
	void setVertexTextureCoordinates(int first, int layer, const math::float4* data, int count) override;
	void setVertexTextureCoordinateScaleBias(const math::float4& scaleBias) override;
	void setVertexData(VertexFormat::DataType dt, int first, const void* data, VertexFormat::DataFormat df, int count) override;
	void setIndexData(int first, const void* data, int indexSize, int count) override;
	void setIndices(int first, const int* data, int count) override;
	void packBones() override;
	void setUsedBones(const unsigned char* bones, int count) override;
	void getVertexDataPtr(VertexFormat::DataType dt, unsigned char** data, int* stride) override;
	void getIndexDataPtr(unsigned short** data, int* indexSize) override;
	void setVertexRangeBegin(int begin) override;
	void setVertexRangeEnd(int end) override;
	void setIndexRangeBegin(int begin) override;
	void setIndexRangeEnd(int end) override;
	void setBound(const math::float3& min, const math::float3& max, float radius) override;
	int vertexRangeBegin() const override { return m_vertexRangeBegin; }
	int vertexRangeEnd() const override { return m_vertexRangeEnd; }
	int indexRangeBegin() const override { return m_indexRangeBegin; }
	int indexRangeEnd() const override { return m_indexRangeEnd; }
	const unsigned char* usedBoneArray() const override { return m_usedBone; }
	int usedBones() const override { return m_usedBones; }
	int vertices() const override { return m_vertices; }
	int indices() const override { return m_indices; }
	const VertexFormat& vertexFormat() const override { return m_vf; }
	void getVertexPositions(int first, math::float4* data, int count) const override;
	void getVertexNormals(int first, math::float4* data, int count) const override;
	void getVertexDiffuseColors(int first, math::float4* data, int count) const override;
	void getVertexSpecularColors(int first, math::float4* data, int count) const override;
	void getVertexTangents(int first, math::float4* data, int count) const override;
	void getVertexBoneWeights(int first, math::float4* data, int count) const override;
	void getVertexBoneIndices(int first, math::float4* data, int count) const override;
	void getVertexTextureCoordinates(int first, int layer, math::float4* data, int count) const override;
	void getVertexData(VertexFormat::DataType dt, int first, math::float4* data, int count) const override;
	void getIndices(int first, int* data, int count) const override;
	bool vertexTextureCoordinateScaleBiasIsIdentity() const override { return m_texCoordIdentity; }
	const math::float4& vertexTextureCoordinateScaleBias() const override { return m_texCoordScaleBias; }
	const math::float4& vertexPositionScaleBias() const override { return m_positionScaleBias; }
	const math::float3& boundMin() const override { return m_boundMin; }
	const math::float3& boundMax() const override { return m_boundMax; }
	float boundRadius() const override { return m_boundRadius; }

	/** Makes the zero-filled store for vf (which must be the primitive's format). */
	virtual void allocate(const VertexFormat& vf, int vertices, int indices);
	virtual void deallocate();

	/** Discards the contents and makes room for the given counts (indices below 65536). */
	void setFormat(const VertexFormat& vf, int vertices, int indices);

	/** Farthest triangles from camera first, positions through world (or the bones). */
	void sortBackToFront(const math::float3& camera, const math::float4x4& world, math::float4x4* boneWorldTMs, int boneWorldTMCount, SortBuffer& buffer);
	/** Nearest triangles to camera first. */
	void sortFrontToBack(const math::float3& camera, const math::float4x4& world, math::float4x4* boneWorldTMs, int boneWorldTMCount, SortBuffer& buffer);
	/** Triangles nearest the centre first. */
	void sortInsideOut(SortBuffer& buffer);
	/** Triangles farthest from the centre first. */
	void sortOutsideIn(SortBuffer& buffer);

	/** Midpoint of the box around all vertex positions. */
	math::float3 center() const;

	/**
	 * For each of triCount triangles, order[t] = t and distances[t] the
	 * squared distance of its transformed centre from (camera, 1).
	 */
	void getTriangleDistances(const math::float3& camera, const math::float4x4& world, math::float4x4* boneWorldTMs, int boneWorldTMCount,
		uint16_t* order, float* distances, int triCount) const;
	/** Rewrites the index data with triangle order[i] at position i, through scratch (indices() values). */
	void reorderTriangles(const uint16_t* order, uint16_t* scratch);

protected:
	DIPrimitive();

private:
	enum { PTR_TABLE = 16 };

	math::float4 m_positionScaleBias;
	math::float4 m_texCoordScaleBias;
	math::float3 m_boundMin;
	math::float3 m_boundMax;
	float m_boundRadius;
	unsigned char* m_sysMemData;
	unsigned char* m_usedBone;
	int m_vertices;
	int m_indices;
	int m_vertexRangeBegin;
	int m_vertexRangeEnd;
	int m_indexRangeBegin;
	int m_indexRangeEnd;
	VertexFormat m_vf;
	unsigned char m_usedBones;
	bool m_texCoordIdentity;

	unsigned char* plane(int slot) const;
	void clearState();
	void sort(const math::float3& camera, const math::float4x4& world, math::float4x4* bones, int boneCount, bool descending, SortBuffer& buffer);

	DIPrimitive(const DIPrimitive&) = delete;
	DIPrimitive& operator=(const DIPrimitive&) = delete;
};
}

#endif
