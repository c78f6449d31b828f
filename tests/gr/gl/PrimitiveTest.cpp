#include "ContextFixture.h"
#include "GLRecorder.h"
#include "TestShader.h"
#include <gr/gl/GL_Primitive.h>
#include <gr/gl/GL_State.h>

using namespace gr::GR_GL_NS;
using gltest::GLRecorder;
using gltest::TestShader;
using F = GL_Functions;
using VF = gr::VertexFormat;

namespace
{
class GLT(Primitive) : public gltest::ContextFixture
{
protected:
	static VF colouredFormat()
	{
		VF vf;
		vf.addPosition(VF::DF_FLOAT3);
		vf.addDiffuse(VF::DF_BYTE4);
		return vf;
	}

	lang::Ptr<GL_Primitive> make(gr::Primitive::PrimType type, const VF& vf, int vertices, int indices, int usage)
	{
		return new GL_Primitive(m_context, type, vf, vertices, indices, usage);
	}

	// Fills a quad over the whole view as two triangles, optionally indexed.
	void fillQuad(GL_Primitive& p, const math::float4& colour)
	{
		gr::ContextObject::Lock lock(&p, gr::ContextObject::LOCK_WRITE);
		const math::float4 pos[6] = {{-1, 1, 0, 1}, {1, 1, 0, 1}, {-1, -1, 0, 1}, {-1, -1, 0, 1}, {1, 1, 0, 1}, {1, -1, 0, 1}};
		const math::float4 col[6] = {colour, colour, colour, colour, colour, colour};
		p.setVertexPositions(0, pos, 6);
		p.setVertexDiffuseColors(0, col, 6);
		if (p.indices() > 0)
		{
			const int ix[6] = {0, 1, 2, 3, 4, 5};
			p.setIndices(0, ix, 6);
		}
	}

	void draw(GL_Primitive& p, gr::Shader* shader)
	{
		p.setShader(shader);
		const int passes = shader->begin();
		for (int i = 0; i < passes; ++i)
		{
			shader->beginPass(i);
			p.render();
			shader->endPass();
		}
		shader->end();
	}
};
}

TEST_F(GLT(Primitive), DynamicPrimitivesUseNoBuffers)
{
	GL_setExtensionsOverride("GL_OES_vertex_buffer_object");
	GL_CallCounter calls;
	{
		lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 6, 6, 4);
		fillQuad(*p, math::float4(255, 0, 0, 255));
		lang::Ptr<TestShader> s = new TestShader;
		draw(*p, s);
	}
	EXPECT_EQ(0, calls.count(F::INDEX_GenBuffers));
	EXPECT_EQ(0, calls.count(F::INDEX_BufferData));
	EXPECT_EQ(0, calls.count(F::INDEX_DeleteBuffers));
	EXPECT_EQ(0xFF0000FFu, pixel(10, 10));

	calls.clear();
	{
		lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 6, 6, 5);
		EXPECT_EQ(3, calls.count(F::INDEX_GenBuffers)); // indices, positions, colours
		EXPECT_NE(0u, p->indexBuffer());
		EXPECT_NE(0u, p->vertexBuffer(VF::DT_DIFFUSE));
		EXPECT_EQ(0u, p->vertexBuffer(VF::DT_NORMAL));
		fillQuad(*p, math::float4(0, 255, 0, 255));
		EXPECT_EQ(3, calls.count(F::INDEX_BufferData));
		lang::Ptr<TestShader> s = new TestShader;
		draw(*p, s);
		EXPECT_EQ(0xFF00FF00u, pixel(10, 10)) << "drawn from the buffer objects";
	}
	EXPECT_EQ(3, calls.count(F::INDEX_DeleteBuffers));
}

TEST_F(GLT(Primitive), WithoutBufferObjectsEveryPrimitiveIsDynamic)
{
	GL_setExtensionsOverride("");
	GL_CallCounter calls;
	lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 6, 6, 1);
	EXPECT_EQ(4, p->usage());
	fillQuad(*p, math::float4(0, 0, 255, 255));
	lang::Ptr<TestShader> s = new TestShader;
	draw(*p, s);
	EXPECT_EQ(0, calls.count(F::INDEX_GenBuffers));
	EXPECT_EQ(0xFFFF0000u, pixel(30, 30));
}

TEST_F(GLT(Primitive), OnlyWriteLocksUpload)
{
	GL_setExtensionsOverride("GL_OES_vertex_buffer_object");
	lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 64, 6, 1);
	p->setVertexRangeEnd(6);
	GL_CallCounter calls;
	{
		gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_READ);
	}
	EXPECT_EQ(0, calls.count(F::INDEX_BufferData));
	{
		gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_WRITE);
	}
	EXPECT_EQ(3, calls.count(F::INDEX_BufferData)) << "the whole store, beyond the vertex range too";
	EXPECT_EQ(0u, GL_State::sm_current.m_boundBuffer[GL_State::BUFFER_ARRAY]);
}

TEST_F(GLT(Primitive), DrawCountsAndRanges)
{
	lang::Ptr<TestShader> s = new TestShader;
	gr::Context::Statistics& stats = m_context->statistics();

	lang::Ptr<GL_Primitive> list = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 6, 0, 4);
	fillQuad(*list, math::float4(255, 255, 255, 255));
	stats.reset();
	draw(*list, s);
	EXPECT_EQ(6, stats.vertices);
	EXPECT_EQ(4, stats.triangles);
	EXPECT_EQ(1, stats.primitives);

	lang::Ptr<GL_Primitive> indexed = make(gr::Primitive::PRIM_TRIANGLES, colouredFormat(), 6, 12, 4);
	fillQuad(*indexed, math::float4(255, 255, 255, 255));
	{
		gr::ContextObject::Lock lock(indexed, gr::ContextObject::LOCK_WRITE);
		const int ix[6] = {0, 1, 2, 3, 4, 5};
		indexed->setIndices(6, ix, 6);
	}
	stats.reset();
	{
		GLRecorder rec;
		draw(*indexed, s);
		indexed->setIndexRangeBegin(6);
		draw(*indexed, s);
		ASSERT_EQ(2u, GLRecorder::draws.size());
		EXPECT_EQ(12, GLRecorder::draws[0].count);
		EXPECT_EQ(6, GLRecorder::draws[1].count);
		const char* d0 = static_cast<const char*>(GLRecorder::draws[0].indices);
		const char* d1 = static_cast<const char*>(GLRecorder::draws[1].indices);
		EXPECT_EQ(12, d1 - d0) << "index range begin 6 starts 12 bytes in";
	}
	EXPECT_EQ(4 + 2, stats.triangles);
	EXPECT_EQ(12, stats.vertices);
	EXPECT_EQ(2, stats.primitives);
}

TEST_F(GLT(Primitive), SortingShadersReorderIndexedTriangleLists)
{
	lang::Ptr<TestShader> s = new TestShader;
	s->setSort(gr::Shader::SORT_INSIDEOUT);
	VF vf;
	vf.addPosition(VF::DF_FLOAT3);
	// Triangle 0 sits at the centre of the positions, listed last: inside-out draws it first.
	const math::float4 pos[9] = {{0, 0, 0, 1}, {0.1f, 0, 0, 1}, {0, 0.1f, 0, 1},
		{0.8f, 0.8f, 0, 1}, {0.9f, 0.8f, 0, 1}, {0.8f, 0.9f, 0, 1},
		{-0.8f, -0.8f, 0, 1}, {-0.9f, -0.8f, 0, 1}, {-0.8f, -0.9f, 0, 1}};
	const int ix[9] = {3, 4, 5, 6, 7, 8, 0, 1, 2};
	for (gr::Primitive::PrimType type : {gr::Primitive::PRIM_TRIANGLES, gr::Primitive::PRIM_TRIANGLESTRIP})
	{
		lang::Ptr<GL_Primitive> p = make(type, vf, 9, 9, 4);
		{
			gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_WRITE);
			p->setVertexPositions(0, pos, 9);
			p->setIndices(0, ix, 9);
		}
		draw(*p, s);
		int out[9];
		{
			gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_READ);
			p->getIndices(0, out, 9);
		}
		if (type == gr::Primitive::PRIM_TRIANGLES)
			EXPECT_EQ(0, out[0]) << "sorted";
		else
			EXPECT_EQ(3, out[0]) << "strips are drawn unsorted";
	}
}

TEST_F(GLT(Primitive), ArraysReachTheBackEnd)
{
	VF vf = colouredFormat();
	vf.setDataFormat(VF::DT_SPECULAR, VF::DF_BYTE4);
	lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, vf, 6, 0, 4);
	fillQuad(*p, math::float4(10, 20, 30, 255));
	lang::Ptr<TestShader> s = new TestShader;
	GLRecorder rec;
	draw(*p, s);
#if GR_GL_VERSION == 2
	// The test program has no specular input: only position and colour are fed.
	ASSERT_EQ(2u, GLRecorder::pointers.size());
	EXPECT_EQ(GLenum(GL_UNSIGNED_BYTE), GLRecorder::pointers[1].type);
	EXPECT_EQ(GL_TRUE, GLRecorder::pointers[1].normalized);
#else
	ASSERT_EQ(2u, GLRecorder::pointers.size()); // the specular stream is not sent
	EXPECT_EQ(int(GL_COLOR_ARRAY), GLRecorder::pointers[1].kind);
	EXPECT_EQ(GLenum(GL_UNSIGNED_BYTE), GLRecorder::pointers[1].type);
	EXPECT_FALSE(GL_State::sm_current.m_colorArray);
	EXPECT_FALSE(GL_State::sm_current.m_vertexArray);
#endif
	EXPECT_EQ(0xFF1E140Au, pixel(5, 5)) << "byte colours arrive as 0-255 of 255";
}

#if GR_GL_VERSION == 1
TEST_F(GLT(Primitive), EveryTextureLayerArrayIsSwitchedOffAfterDrawing)
{
	VF vf;
	vf.addPosition(VF::DF_FLOAT3);
	vf.addTextureCoordinate(VF::DF_FLOAT2);
	vf.addTextureCoordinate(VF::DF_FLOAT2);
	lang::Ptr<GL_Primitive> p = make(gr::Primitive::PRIM_TRIANGLES, vf, 3, 0, 4);
	p->setVertexTextureCoordinateScaleBias(math::float4(2, 0.5f, 0.25f, 0));
	lang::Ptr<TestShader> s = new TestShader;
	draw(*p, s);
	EXPECT_FALSE(GL_State::sm_current.m_texCoordArray[0]);
	EXPECT_FALSE(GL_State::sm_current.m_texCoordArray[1]);
	const math::float4x4& tm = GL_State::sm_current.m_matrices[GL_State::MATRIX_TEXTURE0 + 1];
	EXPECT_EQ(2.f, tm(0, 0));
	EXPECT_EQ(0.5f, tm(0, 3));
	EXPECT_EQ(0.25f, tm(1, 3));
}
#endif
