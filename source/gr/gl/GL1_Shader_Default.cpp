#include <gr/gl/GL1_Shader_Default.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <lang/assert.h>
#include <cstring>

namespace gr
{
namespace gles1
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL1_Shader_Default")

const math::float4 ZERO_FLOAT4(0, 0, 0, 0);

GL_Shader_Default::Shared::Shared(GL_Context* c, int f) :
	GL_Resource(c), context(c), flags(f), blendSource(GL_ONE), blendDestination(GL_ZERO)
{
}

GL_Shader_Default::GL_Shader_Default(GL_Context* context, const std::string& name, int flags) :
	m_shared(new Shared(context, flags)),
	m_baseMap(nullptr),
	m_secondMap(nullptr),
	// Callers set the light and colours they use; these keep a lighting shader drawable
	// (and its finiteness checks passing) when they do not: a white light above, no ambient.
	m_lightPos0(0, 0, 1, 0),
	m_lightDiffuse0(1, 1, 1, 1),
	m_ambient(0, 0, 0, 1),
	m_diffuse(1, 1, 1, 1),
	m_specular(0, 0, 0, 1),
	m_scaleBias(1, 0, 0, 0),
	m_lineWidth(1.f),
	m_lineWidthSet(false),
	m_alphaFactor(1.f),
	m_name(name)
{
}

GL_Shader_Default::~GL_Shader_Default()
{
}

void GL_Shader_Default::setBlend(int source, int destination)
{
	m_shared->blendSource = source;
	m_shared->blendDestination = destination;
}

Shader* GL_Shader_Default::clone() const
{
	return new GL_Shader_Default(*this);
}

void GL_Shader_Default::setTexture(const char* name, BaseTexture* texture)
{
	if (std::strcmp(name, "BASEMAP") == 0)
		m_baseMap = texture;
	else if (std::strcmp(name, "BASEMAP1") == 0)
		m_secondMap = texture;
}

void GL_Shader_Default::setMatrix(ParamType param, const math::float4x4& value)
{
	LANG_ASSERT(m_shared->inBegin);
	switch (param)
	{
	case PARAM_PROJTM: m_shared->context->setProjection(value); break;
	case PARAM_VIEWTM: m_shared->context->setViewMatrix(value); break;
	case PARAM_WORLDTM: m_shared->context->setWorldMatrix(value); break;
	default: break;
	}
}

void GL_Shader_Default::setVector(ParamType param, const math::float4& value)
{
	// One light, whatever the index.
	if (param >= PARAM_LIGHTP0 && param <= PARAM_LIGHTP7)
		m_lightPos0 = value;
	else if (param >= PARAM_LIGHTC0 && param <= PARAM_LIGHTC7)
		m_lightDiffuse0 = value;
	else if (param == PARAM_CAMERAP && m_shared->sort != SORT_NONE)
		m_shared->context->m_sortCamera = value;
}

void GL_Shader_Default::setVector(const char* name, const math::float4& value)
{
	if (std::strcmp(name, "AMBIENTC") == 0)
		m_ambient = value;
	else if (std::strcmp(name, "DIFFUSEC") == 0)
		m_diffuse = value;
	else if (std::strcmp(name, "SPECULARC") == 0)
		m_specular = value;
	else if (std::strcmp(name, "SCALEBIAS") == 0)
		m_scaleBias = value;
}

void GL_Shader_Default::setFloat(const char* name, float value)
{
	if (std::strcmp(name, "LINE_WIDTH") == 0)
	{
		m_lineWidth = value;
		m_lineWidthSet = true;
	}
	else if (std::strcmp(name, "ALPHA_FACTOR") == 0)
		m_alphaFactor = value;
}

int GL_Shader_Default::begin()
{
	// Quads batched before were batched under the state they are to be drawn with.
	m_shared->context->getBatcher().flush();
	m_shared->inBegin = true;
	return 1;
}

void GL_Shader_Default::end()
{
	m_shared->inBegin = false;
}

void GL_Shader_Default::setSort(SortType sort)
{
	m_shared->sort = sort;
}

int GL_Shader_Default::priority() const
{
	return m_shared->priority;
}

gr::Shader::SortType GL_Shader_Default::sort() const
{
	return m_shared->sort;
}

int GL_Shader_Default::flags() const
{
	return m_shared->flags;
}

math::float4 GL_Shader_Default::vertexColourFactor(float alphaFactor) const
{
	const Shared& s = *m_shared;
	const bool premultiplied = s.blendSource == GL_ONE && s.blendDestination != GL_ZERO;
	const float k = premultiplied ? alphaFactor : 1.f;
	return math::float4(k, k, k, alphaFactor);
}

namespace
{
GLuint nameOf(BaseTexture* texture)
{
	return static_cast<GL_Texture*>(texture)->textureName();
}
}

void GL_Shader_Default::beginPass(int)
{
	const Shared& s = *m_shared;
	const bool lighting = (s.flags & SHADER_LIGHTING) != 0;
	const bool textured = (s.flags & SHADER_TEXTURE) != 0;
	const bool premultiplied = s.blendSource == GL_ONE && s.blendDestination != GL_ZERO;

	if (lighting)
	{
		LANG_ASSERT(m_ambient.finite() || 0 == (m_shared->flags & SHADER_LIGHTING));
		LANG_ASSERT(m_specular.finite() || 0 == (m_shared->flags & SHADER_LIGHTING));
	}

	if (s.flags & SHADER_DIFFUSE)
	{
		GL_State::enable(GL_COLOR_MATERIAL);
		float k = premultiplied ? m_alphaFactor : 1.f;
		gl.Color4f(m_diffuse.x * k, m_diffuse.y * k, m_diffuse.z * k, m_diffuse.w * m_alphaFactor);
		CHECK("beginPass");
	}
	else
	{
		float c = premultiplied ? m_alphaFactor : 1.f;
		gl.Color4f(c, c, c, m_alphaFactor);
		CHECK("beginPass");
		GL_State::disable(GL_COLOR_MATERIAL);
	}

	GL_State::activeTexture(GL_TEXTURE0);
	if (textured && m_baseMap)
	{
		GL_State::enable(GL_TEXTURE_2D);
		GL_State::bindTexture(nameOf(m_baseMap));
	}
	else
	{
		GL_State::bindTexture(0);
		GL_State::disable(GL_TEXTURE_2D);
	}

	GL_State::activeTexture(GL_TEXTURE1);
	if (textured && m_secondMap)
	{
		GL_State::enable(GL_TEXTURE_2D);
		GL_State::bindTexture(nameOf(m_secondMap));
		// Colour from stage 0 unchanged; alpha keeps the default combine (this stage's
		// alpha times the previous), so the second map masks the first.
		gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
		gl.TexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
		gl.TexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_PREVIOUS);
		gl.TexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
		CHECK("beginPass");
	}
	else
	{
		GL_State::bindTexture(0);
		GL_State::disable(GL_TEXTURE_2D);
	}

	GL_State::enable(GL_NORMALIZE);
	GL_State::disable(GL_DITHER);
	if (m_lineWidthSet)
		GL_State::lineWidth(m_lineWidth);

	if (s.flags & SHADER_NOCULL)
		GL_State::disable(GL_CULL_FACE);
	else
		GL_State::enable(GL_CULL_FACE);

	if (s.blendSource == GL_ONE && s.blendDestination == GL_ZERO)
	{
		GL_State::disable(GL_BLEND);
	}
	else
	{
		GL_State::enable(GL_BLEND);
		GL_State::blendFunc(GLenum(s.blendSource), GLenum(s.blendDestination));
	}

	if (s.flags & SHADER_NODEPTH)
	{
		GL_State::disable(GL_DEPTH_TEST);
		GL_State::depthMask(false);
	}
	else
	{
		GL_State::enable(GL_DEPTH_TEST);
		GL_State::depthFunc(GL_LESS);
		GL_State::depthMask(true);
	}

	if (lighting)
	{
		LANG_ASSERT(m_lightPos0.finite());
		LANG_ASSERT(m_lightDiffuse0.finite());
		GL_State::enable(GL_LIGHTING);
		GL_State::enable(GL_LIGHT0);
		// The light position is given in view space.
		s.context->applyViewMatrix();
		gl.Lightfv(GL_LIGHT0, GL_POSITION, &m_lightPos0.x);
		CHECK("beginPass");
		gl.Lightfv(GL_LIGHT0, GL_AMBIENT, &m_ambient.x);
		CHECK("beginPass");
		gl.Lightfv(GL_LIGHT0, GL_DIFFUSE, &m_lightDiffuse0.x);
		CHECK("beginPass");
		gl.Lightfv(GL_LIGHT0, GL_SPECULAR, &ZERO_FLOAT4.x);
		CHECK("beginPass");
		gl.Materialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &m_specular.x);
		CHECK("beginPass");
	}
	else
	{
		GL_State::disable(GL_LIGHTING);
	}

	s.context->applyModelViewMatrix(m_scaleBias);
}

void createShadersTemplates(GL_Context* context)
{
	static const struct
	{
		const char* name;
		int flags;
		int blendSource;
		int blendDestination;
	} TEMPLATES[] = {
		{"unlit-plain", 0x1000, GL_ONE, GL_ZERO},
		{"unlit-tex", 0x4000, GL_ONE, GL_ZERO},
		{"unlit-tex-alpha", 0xC000, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"diff-plain", 0x3000, GL_ONE, GL_ZERO},
		{"diff-tex", 0x6000, GL_ONE, GL_ZERO},
		{"diff-tex-alpha", 0xB000, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite", 0x1C000, GL_ONE, GL_ZERO},
		{"sprite-alpha", 0x1C000, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-straightalpha", 0x1C000, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-plain", 0x19000, GL_ONE, GL_ZERO},
		{"sprite-alphaplain", 0x19000, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-alpha-reversed", 0x1C000, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
		{"lines-debug", 0x9000, GL_ONE, GL_ZERO},
	};
	for (const auto& t : TEMPLATES)
	{
		GL_Shader_Default* shader = new GL_Shader_Default(context, t.name, t.flags);
		shader->setBlend(t.blendSource, t.blendDestination);
		context->addShaderTemplate(shader);
	}
}
}
}
