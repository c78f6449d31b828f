#include <gr/gl/GL_RenderBatcher.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#if GR_GL_VERSION == 1
#include <gr/gl/GL1_Shader_Default.h>
#endif
#include <gr/Context.h>
#include <gr/Image.h>
#include <gr/Primitive.h>
#include <gr/Shader.h>
#include <gr/Texture.h>
#include <gr/VertexFormat.h>
#include <lang/assert.h>
#include <cmath>
#include <cstring>

namespace gr
{
namespace GR_GL_NS
{
namespace
{
// Whether a colour component converts to int without overflow (NaN does not).
inline bool inIntRange(float v)
{
	return std::fabs(v) < 2147483648.f;
}

// A colour as the primitive stores it (DF_BYTE4): each component truncated toward zero and
// cut to its low 8 bits. Values outside the int range, and NaN, take the general conversion.
inline uint32_t packColour(const math::float4& c)
{
	uint32_t packed;
	if (!(inIntRange(c.x) && inIntRange(c.y) && inIntRange(c.z) && inIntRange(c.w)))
	{
		gr::VertexFormat::setData(gr::VertexFormat::DF_BYTE4, &packed, c);
		return packed;
	}
	const unsigned char b[4] = {
		static_cast<unsigned char>(static_cast<int32_t>(c.x) & 0xFF),
		static_cast<unsigned char>(static_cast<int32_t>(c.y) & 0xFF),
		static_cast<unsigned char>(static_cast<int32_t>(c.z) & 0xFF),
		static_cast<unsigned char>(static_cast<int32_t>(c.w) & 0xFF)};
	std::memcpy(&packed, b, 4);
	return packed;
}

// Corners 0 1 2 3 (top-left, top-right, bottom-left, bottom-right) as triangles (0 1 2) (2 1 3).
template <class T> inline void quadAsTriangles(T* out, const T* corner)
{
	out[0] = corner[0];
	out[1] = corner[1];
	out[2] = corner[2];
	out[3] = corner[2];
	out[4] = corner[1];
	out[5] = corner[3];
}
}

GL_RenderBatcher::GL_RenderBatcher(GL_Context* context) :
	m_type(TYPE_IMAGES),
	m_context(context),
	m_lineWidth(1),
	m_enabled(true),
	m_hasColors(false)
{
	for (int i = 0; i < 4; ++i)
	{
		m_formats[i].addPosition(gr::VertexFormat::DF_FLOAT3);
		if (i & 1)
			m_formats[i].addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
		if (i & 2)
			m_formats[i].addDiffuse(gr::VertexFormat::DF_BYTE4);
	}
}

GL_RenderBatcher::~GL_RenderBatcher()
{
}

void GL_RenderBatcher::appendVertices(Type type, const math::float3* positions, const math::float2* texCoords, const math::float4* colors)
{
	if (type == TYPE_LINES)
	{
		math::float3* p = m_positions.append(2);
		p[0] = positions[0];
		p[1] = positions[1];
		if (texCoords)
		{
			math::float2* uv = m_texCoords.append(2);
			uv[0] = texCoords[0];
			uv[1] = texCoords[1];
		}
		if (colors)
		{
			uint32_t* col = m_colors.append(2);
			col[0] = packColour(colors[0]);
			col[1] = packColour(colors[1]);
		}
		return;
	}

	quadAsTriangles(m_positions.append(6), positions);
	if (texCoords)
		quadAsTriangles(m_texCoords.append(6), texCoords);
	if (colors)
	{
		// The primitive stores colours as bytes: convert each corner once, then copy the words.
		const uint32_t corner[4] = {packColour(colors[0]), packColour(colors[1]), packColour(colors[2]), packColour(colors[3])};
		quadAsTriangles(m_colors.append(6), corner);
	}
}

void GL_RenderBatcher::render(Type type, gr::Shader* shader, const math::float3* positions, const math::float2* texCoords, const math::float4* colors, gr::Image* image, int lineWidth)
{
	if (type == TYPE_IMAGES)
		m_context->statistics().imageQuads += 1;
	const gr::RenderState2D& state = m_context->getRenderState2D();
	if (!m_positions.empty())
	{
		if (m_type != type ||
			(type == TYPE_LINES && m_lineWidth != lineWidth) ||
			m_image.ptr() != image ||
			// Lines and fills pick an opaque or a blending shader per piece: a translucent
			// piece must not be drawn by an opaque batch.
			(type != TYPE_IMAGES && m_shader.ptr() != shader) ||
			m_state.clipRect != state.clipRect ||
			!(m_state.alphaFactor == state.alphaFactor) ||
			m_hasColors != (colors != nullptr))
			flush();
	}
	if (m_positions.empty())
		begin(type, shader, colors != nullptr, image, lineWidth);
	appendVertices(type, positions, texCoords, colors);
}

void GL_RenderBatcher::add(Type type, gr::Shader* shader, const math::float3* positions, const math::float2* texCoords, const math::float4* colors, gr::Image* image, int lineWidth)
{
	if (m_positions.empty())
		begin(type, shader, colors != nullptr, image, lineWidth);
	appendVertices(type, positions, texCoords, colors);
}

void GL_RenderBatcher::begin(Type type, gr::Shader* shader, bool hasColors, gr::Image* image, int lineWidth)
{
	m_type = type;
	m_shader = shader;
	m_image = image;
	m_state = m_context->getRenderState2D();
	m_lineWidth = lineWidth;
	m_hasColors = hasColors;
}

void GL_RenderBatcher::flush()
{
	if (!m_enabled || (!m_image && !m_shader))
		return;
	if (m_type == TYPE_IMAGES)
		m_context->statistics().imageBatches += 1;
	m_enabled = false;
	try
	{
		draw();
	}
	catch (...)
	{
		// A batch that failed to draw is dropped, so later pieces are drawn again.
		empty();
		throw;
	}
	empty();
}

void GL_RenderBatcher::draw()
{
	const gr::VertexFormat& vf = m_formats[(m_texCoords.empty() ? 0 : 1) | (m_colors.empty() ? 0 : 2)];

#if GR_GL_VERSION == 1
	if (!m_colors.empty() && !(m_state.alphaFactor == 1.f))
		fadeColours();
#endif

	const int n = int(m_positions.size());
	gr::Primitive* primitive = m_context->getDynamicPrimitive(m_type == TYPE_LINES ? gr::Primitive::PRIM_LINES : gr::Primitive::PRIM_TRIANGLES, vf, n, 0);
	{
		gr::ContextObject::Lock lock(primitive, gr::ContextObject::LOCK_WRITE);
		primitive->setVertexData(gr::VertexFormat::DT_POSITION, 0, m_positions.data(), gr::VertexFormat::DF_FLOAT3, n);
		if (!m_texCoords.empty())
			primitive->setVertexData(gr::VertexFormat::DT_TEX0, 0, m_texCoords.data(), gr::VertexFormat::DF_FLOAT2, int(m_texCoords.size()));
		if (!m_colors.empty())
			primitive->setVertexData(gr::VertexFormat::DT_DIFFUSE, 0, m_colors.data(), gr::VertexFormat::DF_BYTE4, int(m_colors.size()));
		primitive->setVertexRangeBegin(0);
		primitive->setVertexRangeEnd(n);
	}

	m_context->setClipRect(m_state.clipRect);

	if (m_type == TYPE_LINES)
		GL_State::lineWidth(float(m_lineWidth));

	gr::Shader* shader = m_shader.operator->();
	shader->setFloat("ALPHA_FACTOR", m_state.alphaFactor);
	shader->setFloat("COLOR_SATURATION", m_state.colorSaturation);
	if (m_image)
		shader->setTexture("BASEMAP", m_image->getTexture());

	primitive->setShader(shader);
	const int passes = shader->begin();
#if GR_GL_VERSION == 1
	shader->setMatrix(gr::Shader::PARAM_WORLDTM, m_state.worldTransform);
	shader->setMatrix(gr::Shader::PARAM_VIEWTM, math::float4x4(1.f));
#else
	shader->setMatrix(gr::Shader::PARAM_WORLDTM, m_state.worldTransform);
	shader->setMatrix(gr::Shader::PARAM_PROJTM, m_context->projectionTransform() * m_state.worldTransform);
#endif
	for (int pass = 0; pass < passes; ++pass)
	{
		shader->beginPass(pass);
		primitive->render();
		shader->endPass();
	}
	shader->end();
}

#if GR_GL_VERSION == 1
void GL_RenderBatcher::fadeColours()
{
	const GL_Shader_Default* fixed = dynamic_cast<const GL_Shader_Default*>(m_shader.ptr());
	if (!fixed)
		return;
	const math::float4 f = fixed->vertexColourFactor(m_state.alphaFactor);
	const float k[4] = {f.x, f.y, f.z, f.w};
	uint32_t* c = m_colors.data();
	for (size_t i = 0, n = m_colors.size(); i < n; ++i)
	{
		unsigned char b[4];
		std::memcpy(b, &c[i], 4);
		for (int j = 0; j < 4; ++j)
		{
			// As GL clamps the current colour: 0 to 1 (NaN gives 0).
			const float v = float(b[j]) * k[j];
			b[j] = v > 0.f ? (v < 255.f ? static_cast<unsigned char>(v + 0.5f) : 255) : 0;
		}
		std::memcpy(&c[i], b, 4);
	}
}
#endif

void GL_RenderBatcher::empty()
{
	m_positions.clear();
	m_texCoords.clear();
	m_colors.clear();
	m_image = nullptr;
	m_shader = nullptr;
	m_enabled = true;
}

void GL_RenderBatcher::reset()
{
	m_enabled = false;
	empty();
}
}
}
