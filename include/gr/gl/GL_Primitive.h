#ifndef GR_GL_GL_PRIMITIVE_H
#define GR_GL_GL_PRIMITIVE_H

#include <gr/gl/GL_config.h>
#include <gr/gl/GL_Resource.h>
#include <gr/DIPrimitive.h>
#include <gr/Shader.h>
#include <lang/Ptr.h>

namespace gr
{
namespace GR_GL_NS
{
class GL_Context;

/**
 * A primitive of the OpenGL ES back end: the system-memory store of gr::DIPrimitive plus,
 * unless it is dynamic (usage exactly 4), one buffer object per vertex stream and one for the
 * indices, filled when a write lock ends. Dynamic primitives draw from system memory.
 */
class GL_Primitive : public gr::DIPrimitive, public GL_Resource
{
public:
	enum { INVALID_BUFFER = 0, USAGE_DYNAMIC = 4 };

	GL_Primitive(GL_Context* context, gr::Primitive::PrimType type, const gr::VertexFormat& format, int vertices, int indices, int usage);
	~GL_Primitive() override;

	void lock(LockType type) override;
	/** After a write lock uploads the whole store to the buffer objects. */
	void unlock() override;
	void setShader(gr::Shader* shader) override;
	/** Sorts when the shader asks, then draws the vertex (or index) range. */
	void render() override;
	void getVertexDataPtr(gr::VertexFormat::DataType dt, unsigned char** data, int* stride) override;
	void getIndexDataPtr(unsigned short** data, int* indexSize) override;
	PrimType type() const override { return m_type; }
	gr::Shader* shader() const override { return m_shader; }

	void allocate(const gr::VertexFormat& format, int vertices, int indices) override;
	void deallocate() override;

	int usage() const { return m_usage; }
	GLuint indexBuffer() const { return m_ibuffer; }
	GLuint vertexBuffer(gr::VertexFormat::DataType dt) const { return m_vbuffers[dt]; }

private:
	GL_Context* m_context;

	void detachFromContext() override;
	lang::Ptr<gr::Shader> m_shader;
	GLuint m_ibuffer;
	GLuint m_vbuffers[gr::VertexFormat::DT_SIZE];
	PrimType m_type;
	LockType m_lockType;
	int m_usage;

	/** A vertex component present in the format, as the draw call declares it. */
	struct Stream
	{
		gr::VertexFormat::DataType dt;
		GLint dim;
		GLenum type;
		GLsizei stride;
		const unsigned char* plane;
	};
	// Worked out once per allocation: the frame path reads no format tables.
	Stream m_streams[gr::VertexFormat::DT_SIZE];
	int m_streamCount;

	void upload(bool indices);
	void bindArrays();
	void unbindArrays();

	GL_Primitive(const GL_Primitive&) = delete;
	GL_Primitive& operator=(const GL_Primitive&) = delete;
};
}
}

#endif
