#include <gr/gl/GL_Primitive.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader_Platform.h>
#endif
#include <lang/assert.h>
#include <cstdint>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL_Primitive")

namespace
{
// Rewritten by every constructor with the same answer: whether the device has buffer objects.
bool s_hasVBOsupport = false;

GLenum getGLDataType(gr::VertexFormat::DataType dt, gr::VertexFormat::DataFormat df)
{
	const int dim = gr::VertexFormat::getDataDim(df);
	const int bytes = dim > 0 ? gr::VertexFormat::getDataSize(df) / dim : 0;
	LANG_ASSERT(bytes >= 1 && bytes <= 4 && bytes != 3);
	if (bytes == 4)
		return GL_FLOAT;
	if (bytes == 2)
		return GL_SHORT;
	return dt == gr::VertexFormat::DT_DIFFUSE ? GL_UNSIGNED_BYTE : GL_BYTE;
}

GLenum getGLMode(gr::Primitive::PrimType type)
{
	switch (type)
	{
	case gr::Primitive::PRIM_POINTS: return GL_POINTS;
	case gr::Primitive::PRIM_LINES: return GL_LINES;
	case gr::Primitive::PRIM_LINESTRIP: return GL_LINE_STRIP;
	case gr::Primitive::PRIM_TRIANGLES: return GL_TRIANGLES;
	case gr::Primitive::PRIM_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
	case gr::Primitive::PRIM_TRIANGLEFAN: return GL_TRIANGLE_FAN;
	}
	LANG_ASSERT(false);
	return GL_POINTS;
}

#if GR_GL_VERSION == 2
// Where the program of the pass in progress reads a component; -1 when it does not, or outside a pass.
int attributeLocation(const GL_Shader_Platform* program, gr::VertexFormat::DataType dt)
{
	return program ? program->getAttributeLocation(dt) : -1;
}
#endif

gr::VertexFormat alignedFormat(const gr::VertexFormat& format)
{
	gr::VertexFormat vf(format);
	vf.setAlignEach(4);
	return vf;
}
}

GL_Primitive::GL_Primitive(GL_Context* context, gr::Primitive::PrimType type, const gr::VertexFormat& format, int vertices, int indices, int usage) :
	GL_Resource(context),
	m_context(context),
	m_ibuffer(INVALID_BUFFER),
	m_type(type),
	m_lockType(LOCK_NONE),
	m_usage(usage),
	m_streamCount(0)
{
	if (context->isExtensionSupported("GL_ARB_vertex_buffer_object"))
		s_hasVBOsupport = true;
	else
	{
		s_hasVBOsupport = context->isExtensionSupported("GL_OES_vertex_buffer_object");
		if (!s_hasVBOsupport)
			m_usage = USAGE_DYNAMIC;
	}
	for (GLuint& b : m_vbuffers)
		b = INVALID_BUFFER;
	setFormat(alignedFormat(format), vertices, indices);
}

GL_Primitive::~GL_Primitive()
{
	deallocate();
	m_shader = nullptr;
}

void GL_Primitive::detachFromContext()
{
	m_context = nullptr;
	m_ibuffer = INVALID_BUFFER;
	for (GLuint& b : m_vbuffers)
		b = INVALID_BUFFER;
}

void GL_Primitive::allocate(const gr::VertexFormat& format, int vertices, int indices)
{
	gr::DIPrimitive::allocate(format, vertices, indices);
	m_streamCount = 0;
	for (int i = 0; i < gr::VertexFormat::DT_SIZE; ++i)
	{
		const gr::VertexFormat::DataType dt = gr::VertexFormat::DataType(i);
		const gr::VertexFormat::DataFormat df = format.getDataFormat(dt);
		if (df == gr::VertexFormat::DF_NONE)
			continue;
		Stream& s = m_streams[m_streamCount++];
		s.dt = dt;
		s.dim = gr::VertexFormat::getDataDim(df);
		s.type = getGLDataType(dt, df);
		unsigned char* plane = nullptr;
		int stride = 0;
		gr::DIPrimitive::getVertexDataPtr(dt, &plane, &stride);
		s.plane = plane;
		s.stride = stride;
	}
	if (m_usage == USAGE_DYNAMIC)
		return;
	if (indices >= 1)
	{
		gl.GenBuffers(1, &m_ibuffer);
		CHECK("allocate");
		LANG_ASSERT(m_ibuffer != INVALID_BUFFER);
	}
	for (int i = 0; i < gr::VertexFormat::DT_SIZE; ++i)
	{
		if (!format.hasData(gr::VertexFormat::DataType(i)))
			continue;
		gl.GenBuffers(1, &m_vbuffers[i]);
		CHECK("allocate");
		LANG_ASSERT(m_vbuffers[i] != INVALID_BUFFER);
	}
}

void GL_Primitive::deallocate()
{
	gr::DIPrimitive::deallocate();
	m_streamCount = 0;
	if (m_usage == USAGE_DYNAMIC)
		return;
	if (m_ibuffer != INVALID_BUFFER)
	{
		// A deleted buffer must not stay in the cache as bound: a new one may get its name.
		if (GL_State::sm_current.m_boundBuffer[GL_State::BUFFER_ELEMENT_ARRAY] == m_ibuffer)
			GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
		gl.DeleteBuffers(1, &m_ibuffer);
		CHECK("deallocate");
		m_ibuffer = INVALID_BUFFER;
	}
	for (GLuint& b : m_vbuffers)
	{
		if (b == INVALID_BUFFER)
			continue;
		if (GL_State::sm_current.m_boundBuffer[GL_State::BUFFER_ARRAY] == b)
			GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
		gl.DeleteBuffers(1, &b);
		CHECK("deallocate");
		b = INVALID_BUFFER;
	}
}

void GL_Primitive::lock(LockType type)
{
	m_lockType = type;
}

void GL_Primitive::unlock()
{
	if (m_usage != USAGE_DYNAMIC && (m_lockType & LOCK_WRITE))
		upload((int(m_lockType) & 4) == 0);
	m_lockType = LOCK_NONE;
}

void GL_Primitive::upload(bool indices)
{
	if (indices && m_ibuffer != INVALID_BUFFER)
	{
		unsigned short* data = nullptr;
		int indexSize = 0;
		getIndexDataPtr(&data, &indexSize);
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ibuffer);
		gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(2) * this->indices(), data, GL_STATIC_DRAW);
		CHECK("unlock");
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
	}
	for (int i = 0; i < m_streamCount; ++i)
	{
		const gr::VertexFormat::DataType dt = m_streams[i].dt;
		unsigned char* data = nullptr;
		int stride = 0;
		getVertexDataPtr(dt, &data, &stride);
		GL_State::bindBuffer(GL_ARRAY_BUFFER, m_vbuffers[dt]);
		gl.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(stride) * vertices(), data, GL_STATIC_DRAW);
		CHECK("unlock");
		GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
	}
}

void GL_Primitive::setShader(gr::Shader* shader)
{
	m_shader = shader;
}

void GL_Primitive::getVertexDataPtr(gr::VertexFormat::DataType dt, unsigned char** data, int* stride)
{
	gr::DIPrimitive::getVertexDataPtr(dt, data, stride);
}

void GL_Primitive::getIndexDataPtr(unsigned short** data, int* indexSize)
{
	gr::DIPrimitive::getIndexDataPtr(data, indexSize);
}

void GL_Primitive::bindArrays()
{
#if GR_GL_VERSION == 2
	const GL_Shader_Platform* program = GL_Shader_Platform::sm_currentPlatformShader;
#endif
	for (int i = 0; i < m_streamCount; ++i)
	{
		const Stream& st = m_streams[i];
		const gr::VertexFormat::DataType dt = st.dt;
		const void* pointer = st.plane;
		if (m_usage != USAGE_DYNAMIC)
		{
			GL_State::bindBuffer(GL_ARRAY_BUFFER, m_vbuffers[dt]);
			pointer = nullptr;
		}
#if GR_GL_VERSION == 1
		switch (dt)
		{
		case gr::VertexFormat::DT_POSITION:
			GL_State::enableClientState(GL_VERTEX_ARRAY);
			gl.VertexPointer(st.dim, st.type, st.stride, pointer);
			break;
		case gr::VertexFormat::DT_NORMAL:
			GL_State::enableClientState(GL_NORMAL_ARRAY);
			gl.NormalPointer(st.type, st.stride, pointer);
			break;
		case gr::VertexFormat::DT_DIFFUSE:
			GL_State::enableClientState(GL_COLOR_ARRAY);
			gl.ColorPointer(st.dim, st.type, st.stride, pointer);
			break;
		case gr::VertexFormat::DT_TEX0:
		case gr::VertexFormat::DT_TEX1:
		case gr::VertexFormat::DT_TEX2:
		case gr::VertexFormat::DT_TEX3:
			GL_State::clientActiveTexture(GLenum(GL_TEXTURE0 + (dt - gr::VertexFormat::DT_TEX0)));
			GL_State::enableClientState(GL_TEXTURE_COORD_ARRAY);
			gl.TexCoordPointer(st.dim, st.type, st.stride, pointer);
			break;
		default:
			continue;
		}
		CHECK("render");
#else
		const int location = attributeLocation(program, dt);
		if (location == -1)
			continue;
		gl.EnableVertexAttribArray(GLuint(location));
		CHECK("render");
		const GLboolean normalized = st.type == GL_BYTE || st.type == GL_UNSIGNED_BYTE ? GL_TRUE : GL_FALSE;
		gl.VertexAttribPointer(GLuint(location), st.dim, st.type, normalized, st.stride, pointer);
		CHECK("render");
#endif
	}

#if GR_GL_VERSION == 1
	// The texture-coordinate scale/bias becomes the texture matrix of every layer.
	math::float4x4 tm(1.f);
	if (!vertexTextureCoordinateScaleBiasIsIdentity())
	{
		const math::float4& sb = vertexTextureCoordinateScaleBias();
		tm(0, 0) = sb.x;
		tm(0, 3) = sb.y;
		tm(1, 1) = sb.x;
		tm(1, 3) = sb.z;
	}
	for (int i = 0; i < m_streamCount; ++i)
	{
		const int layer = m_streams[i].dt - gr::VertexFormat::DT_TEX0;
		if (layer < 0 || layer > 3)
			continue;
		GL_State::activeTexture(GLenum(GL_TEXTURE0 + layer));
		GL_State::setMatrixMode(GL_TEXTURE);
		GL_State::loadMatrixf(tm);
	}
#endif
}

void GL_Primitive::unbindArrays()
{
#if GR_GL_VERSION == 2
	const GL_Shader_Platform* program = GL_Shader_Platform::sm_currentPlatformShader;
#endif
	for (int i = 0; i < m_streamCount; ++i)
	{
		const gr::VertexFormat::DataType dt = m_streams[i].dt;
#if GR_GL_VERSION == 1
		switch (dt)
		{
		case gr::VertexFormat::DT_POSITION: GL_State::disableClientState(GL_VERTEX_ARRAY); break;
		case gr::VertexFormat::DT_NORMAL: GL_State::disableClientState(GL_NORMAL_ARRAY); break;
		case gr::VertexFormat::DT_DIFFUSE: GL_State::disableClientState(GL_COLOR_ARRAY); break;
		case gr::VertexFormat::DT_TEX0:
		case gr::VertexFormat::DT_TEX1:
		case gr::VertexFormat::DT_TEX2:
		case gr::VertexFormat::DT_TEX3:
			// Each layer's array is switched off on its own unit, so no array is left pointing at
			// memory that a later draw would read.
			GL_State::clientActiveTexture(GLenum(GL_TEXTURE0 + (dt - gr::VertexFormat::DT_TEX0)));
			GL_State::disableClientState(GL_TEXTURE_COORD_ARRAY);
			break;
		default: break;
		}
#else
		const int location = attributeLocation(program, dt);
		if (location == -1)
			continue;
		gl.DisableVertexAttribArray(GLuint(location));
		CHECK("render");
#endif
	}
}

void GL_Primitive::render()
{
	LANG_ASSERT(shader());

	const gr::Shader::SortType sort = m_shader->sort();
	const int sortCount = indices() != 0 ? indices() : vertices();
	if (sort != gr::Shader::SORT_NONE && m_type == PRIM_TRIANGLES && sortCount > 2)
	{
		gr::ContextObject::Lock lk(this, LockType(LOCK_READ | LOCK_WRITE));
		GL_Context& c = *m_context;
		math::float4x4* bones = c.m_boneMatrices.empty() ? nullptr : c.m_boneMatrices.data();
		const int boneCount = int(c.m_boneMatrices.size());
		const math::float3 camera(c.m_sortCamera.x, c.m_sortCamera.y, c.m_sortCamera.z);
		switch (sort)
		{
		case gr::Shader::SORT_BACKTOFRONT: sortBackToFront(camera, c.m_sortWorldMatrix, bones, boneCount, c.m_sortBuffer); break;
		case gr::Shader::SORT_FRONTTOBACK: sortFrontToBack(camera, c.m_sortWorldMatrix, bones, boneCount, c.m_sortBuffer); break;
		case gr::Shader::SORT_INSIDEOUT: sortInsideOut(c.m_sortBuffer); break;
		case gr::Shader::SORT_OUTSIDEIN: sortOutsideIn(c.m_sortBuffer); break;
		default: break;
		}
	}

	if (s_hasVBOsupport && m_usage == USAGE_DYNAMIC)
		GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
	bindArrays();

	const GLenum mode = getGLMode(m_type);
	gr::Context::Statistics& stats = m_context->statistics();
	if (indices() == 0)
	{
		if (s_hasVBOsupport)
			GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
		const int count = vertexRangeEnd() - vertexRangeBegin();
		gl.DrawArrays(mode, vertexRangeBegin(), count);
		CHECK("render");
		stats.vertices += count;
		stats.triangles += count - 2;
	}
	else
	{
		const unsigned char* base = nullptr;
		if (m_usage == USAGE_DYNAMIC)
		{
			unsigned short* data = nullptr;
			int indexSize = 0;
			getIndexDataPtr(&data, &indexSize);
			base = reinterpret_cast<const unsigned char*>(data);
		}
		if (s_hasVBOsupport)
			GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ibuffer);
		const int count = indexRangeEnd() - indexRangeBegin();
		gl.DrawElements(mode, count, GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(base) + 2u * unsigned(indexRangeBegin())));
		CHECK("render");
		stats.vertices += vertexRangeEnd() - vertexRangeBegin();
		stats.triangles += count / 3;
	}
	stats.primitives += 1;

	unbindArrays();
}
}
}
