#ifndef GR_VERTEXFORMAT_H
#define GR_VERTEXFORMAT_H

#include <math/float4.h>

namespace gr
{
/**
 * Which components a vertex has and how each is stored, with conversion
 * of any stored component to and from math::float4.
 */
class VertexFormat
{
public:
	/** Vertex components; the names are also the attribute names of shader programs. */
	enum DataType : int
	{
		DT_POSITION,
		DT_POSITIONT,
		DT_BONEWEIGHTS,
		DT_BONEINDICES,
		DT_NORMAL,
		DT_DIFFUSE,
		DT_SPECULAR,
		DT_TEX0,
		DT_TEX1,
		DT_TEX2,
		DT_TEX3,
		DT_TANGENT,
		DT_SIZE
	};

	/** Storage of one component. */
	enum DataFormat : int
	{
		DF_NONE,
		DF_FLOAT1,
		DF_SHORT1,
		DF_BYTE1,
		DF_FLOAT2,
		DF_SHORT2,
		DF_BYTE2,
		DF_FLOAT3,
		DF_SHORT3,
		DF_BYTE3,
		DF_FLOAT4,
		DF_SHORT4,
		DF_BYTE4,
		/** One 16-bit word: x bits 0-4, y 5-9, z 10-14, w bit 15. */
		DF_RGB5A1,
		DF_HALF2,
		DF_HALF3,
		/** For the conversion operations only: a format holds values up to 15. */
		DF_HALF4,
		DF_SIZE
	};

	enum { MAX_TEXCOORDS = 4 };

	VertexFormat();

	/** Sets the position; no position of either kind may be set yet. */
	VertexFormat& addPosition(DataFormat df = DF_FLOAT3);
	VertexFormat& addDiffuse(DataFormat df = DF_BYTE4);
	/** Sets the first free texture-coordinate layer (at most four). */
	VertexFormat& addTextureCoordinate(DataFormat df = DF_FLOAT2);
	/** Sets any component; df must be below DF_HALF4. */
	VertexFormat& setDataFormat(DataType dt, DataFormat df);

	/** Consecutive used texture-coordinate layers from DT_TEX0. */
	int textureCoordinates() const;
	DataFormat getDataFormat(DataType dt) const;
	bool hasData(DataType dt) const { return getDataFormat(dt) != DF_NONE; }

	/** Alignment (1, 2, 4, 8 or 16) to which each component's size is rounded up. */
	void setAlignEach(int align);
	int alignEach() const { return m_alignEach; }

	/** Bytes of one vertex: the aligned sizes of the present components. */
	int vertexSize() const;

	bool operator==(const VertexFormat& o) const;
	bool operator!=(const VertexFormat& o) const { return !(*this == o); }

	static const char* toString(DataType dt);
	/** Bytes of one stored component (0 outside the table). */
	static int getDataSize(DataFormat df);
	/** Number of values of one stored component (0 outside the table). */
	static int getDataDim(DataFormat df);
	/** getDataSize rounded up to align (1, 2, 4, 8 or 16). */
	static int getDataSizeAligned(DataFormat df, int align);

	/** Reads one stored component; values the format lacks are 0. */
	static void getData(DataFormat df, const void* src, math::float4* out);
	/** Writes one component; integers are truncated toward zero and cut to their width. */
	static void setData(DataFormat df, void* dst, const math::float4& in);
	/** Copies count components between planes of the given strides, converting formats. */
	static void copyData(void* dst, int dstStride, DataFormat dstFormat, const void* src, int srcStride, DataFormat srcFormat, int count);

private:
	unsigned char m_data[DT_SIZE / 2];
	unsigned char m_alignVertex;
	unsigned char m_alignEach;
};
}

#endif
