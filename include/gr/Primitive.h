#ifndef GR_PRIMITIVE_H
#define GR_PRIMITIVE_H

#include <gr/ContextObject.h>
#include <gr/VertexFormat.h>
#include <math/float3.h>
#include <math/float4.h>

namespace gr
{
class Shader;

/**
 * A vertex and index set drawn as one primitive. first is the first
 * vertex or index affected, count their number; fill and read the data
 * inside a ContextObject::Lock.
 */
class Primitive : public ContextObject
{
public:
	enum PrimType : int
	{
		PRIM_POINTS = 0,
		PRIM_LINES = 1,
		PRIM_LINESTRIP = 2,
		PRIM_TRIANGLES = 3,
		PRIM_TRIANGLESTRIP = 4,
		PRIM_TRIANGLEFAN = 5,
	};

	virtual void setShader(Shader* shader) = 0;
	/** Does nothing unless the back end supports it. */
	virtual void setPerspectiveCorrection(int enabled);
	/** Not supported by any back end: must not be called. */
	virtual void setOpacity(int opacity);
	virtual void setVertexPositions(int first, const math::float4* data, int count) = 0;
	virtual void setVertexPositionScaleBias(const math::float4& scaleBias) = 0;
	virtual void setVertexTransformedPositions(int first, const math::float4* data, int count) = 0;
	virtual void setVertexNormals(int first, const math::float4* data, int count) = 0;
	virtual void setVertexDiffuseColors(int first, const math::float4* data, int count) = 0;
	virtual void setVertexSpecularColors(int first, const math::float4* data, int count) = 0;
	virtual void setVertexTangents(int first, const math::float4* data, int count) = 0;
	virtual void setVertexBoneWeights(int first, const math::float4* data, int count) = 0;
	virtual void setVertexBoneIndices(int first, const math::float4* data, int count) = 0;
	virtual void setVertexTextureCoordinates(int first, int layer, const math::float4* data, int count) = 0;
	/** (s, bu, bv, w) maps a texture coordinate (u, v) to (s*u + bu, s*v + bv). */
	virtual void setVertexTextureCoordinateScaleBias(const math::float4& scaleBias) = 0;
	virtual void setVertexData(VertexFormat::DataType dt, int first, const void* data, VertexFormat::DataFormat df, int count) = 0;
	/** indexSize is 1, 2 or 4 bytes. */
	virtual void setIndexData(int first, const void* data, int indexSize, int count) = 0;
	virtual void setIndices(int first, const int* data, int count) = 0;
	/** Replaces bone indices by positions in the array of bones actually used. */
	virtual void packBones() = 0;
	virtual void setUsedBones(const unsigned char* bones, int count) = 0;
	virtual void render() = 0;
	/** Does nothing unless the back end supports it. */
	virtual void setWireframeColor(int argb);
	virtual void getVertexDataPtr(VertexFormat::DataType dt, unsigned char** data, int* stride) = 0;
	virtual void getIndexDataPtr(unsigned short** data, int* indexSize) = 0;
	virtual void setVertexRangeBegin(int begin) = 0;
	virtual void setVertexRangeEnd(int end) = 0;
	virtual void setIndexRangeBegin(int begin) = 0;
	virtual void setIndexRangeEnd(int end) = 0;
	virtual void setBound(const math::float3& min, const math::float3& max, float radius) = 0;
	virtual int vertexRangeBegin() const = 0;
	virtual int vertexRangeEnd() const = 0;
	virtual int indexRangeBegin() const = 0;
	virtual int indexRangeEnd() const = 0;
	virtual const unsigned char* usedBoneArray() const = 0;
	virtual PrimType type() const = 0;
	virtual int usedBones() const = 0;
	virtual Shader* shader() const = 0;
	/** Vertex capacity. */
	virtual int vertices() const = 0;
	/** Index capacity (0 = not indexed). */
	virtual int indices() const = 0;
	virtual const VertexFormat& vertexFormat() const = 0;
	virtual void getVertexPositions(int first, math::float4* data, int count) const = 0;
	virtual void getVertexNormals(int first, math::float4* data, int count) const = 0;
	virtual void getVertexDiffuseColors(int first, math::float4* data, int count) const = 0;
	virtual void getVertexSpecularColors(int first, math::float4* data, int count) const = 0;
	virtual void getVertexTangents(int first, math::float4* data, int count) const = 0;
	virtual void getVertexBoneWeights(int first, math::float4* data, int count) const = 0;
	virtual void getVertexBoneIndices(int first, math::float4* data, int count) const = 0;
	virtual void getVertexTextureCoordinates(int first, int layer, math::float4* data, int count) const = 0;
	virtual void getVertexData(VertexFormat::DataType dt, int first, math::float4* data, int count) const = 0;
	virtual void getIndices(int first, int* data, int count) const = 0;
	virtual bool vertexTextureCoordinateScaleBiasIsIdentity() const = 0;
	virtual const math::float4& vertexTextureCoordinateScaleBias() const = 0;
	virtual const math::float4& vertexPositionScaleBias() const = 0;
	virtual const math::float3& boundMin() const = 0;
	virtual const math::float3& boundMax() const = 0;
	virtual float boundRadius() const = 0;

protected:
	Primitive() : ContextObject(CLASSID_PRIMITIVE) {}
};
}

#endif
