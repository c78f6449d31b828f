#include <gr/gl/GL2_Shader.h>
#include <gr/gl/GL2_Shader_Platform.h>
#include <gr/gl/GL2_EffectParser.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <lang/Format.h>
#include <lang/Integer.h>
#include <lang/assert.h>
#include <lang/string.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstring>

namespace gr
{
namespace gles2
{
namespace
{
template <class T> T* find(std::vector<std::pair<std::string, T>>& params, const char* name)
{
	for (std::pair<std::string, T>& p : params)
		if (p.first == name)
			return &p.second;
	return nullptr;
}

template <class T> void store(std::vector<std::pair<std::string, T>>& params, const char* name, const T& value)
{
	if (T* slot = find(params, name))
		*slot = value;
	else
		params.emplace_back(name, value);
}

bool emptyName(const char* name)
{
	return !name || !*name;
}
}

GL_Shader::GL_Shader(GL_Context* context, const std::string& name, const std::string& fileName, int flags) :
	GL_Resource(context),
	m_context(context),
	m_flags(flags),
	m_sort(SORT_NONE),
	m_priority(0),
	m_currentTechnique(0),
	m_currentPass(nullptr),
	m_enabled(false)
{
	GL_EffectParser::readEffect(context, name, fileName, this);
	m_enabled = true;
}

GL_Shader::GL_Shader(const GL_Shader& other) :
	gr::Shader(),
	GL_Resource(other.m_context),
	m_context(other.m_context),
	m_name(other.m_name),
	m_filePath(other.m_filePath),
	m_flags(other.m_flags),
	m_sort(other.m_sort),
	m_priority(other.m_priority),
	m_currentTechnique(other.m_currentTechnique),
	m_currentPass(other.m_currentPass),
	m_enabled(other.m_enabled),
	m_floats(other.m_floats),
	m_vectors(other.m_vectors),
	m_matrices(other.m_matrices),
	m_matrixArrays(other.m_matrixArrays),
	m_textures(other.m_textures)
{
	for (const lang::Ptr<GL_Technique>& technique : other.m_techniques)
		m_techniques.push_back(new GL_Technique(*technique));
}

GL_Shader::~GL_Shader()
{
}

void GL_Shader::detachFromContext()
{
	m_context = nullptr;
	for (const lang::Ptr<GL_Technique>& technique : m_techniques)
		for (int i = 0; i < technique->passes(); ++i)
			technique->getPass(i)->forgetNames();
}

Shader* GL_Shader::clone() const
{
	return new GL_Shader(*this);
}

void GL_Shader::reset()
{
	m_enabled = false;
	m_techniques.clear();
	m_currentTechnique = 0;
}

void GL_Shader::addTechnique(GL_Technique* technique)
{
	LANG_ASSERT(std::find(m_techniques.begin(), m_techniques.end(), technique) == m_techniques.end());
	m_techniques.push_back(technique);
}

void GL_Shader::addProperty(const std::string& key, const std::string& value)
{
	std::string k = lang::string::tolower(key);
	if (k == "priority")
	{
		m_priority = int8_t(lang::Integer::parse(value.c_str()));
		return;
	}
	if (k == "sort")
	{
		static const char* const SORTS[] = {"none", "backtofront", "fronttoback", "insideout", "outsidein"};
		std::string v = lang::string::tolower(value);
		for (int i = 0; i < 5; ++i)
			if (v == SORTS[i])
			{
				m_sort = SortType(i);
				return;
			}
		lang::throwError(GraphicsException(lang::Format("Unknown sort mode {0}", value)));
	}
	lang::throwError(GraphicsException(lang::Format("Unknown property for shader: {0}", key)));
}

void GL_Shader::setTechnique(const char* name)
{
	if (emptyName(name))
		name = "Default";
	m_currentTechnique = -1;
	for (size_t i = 0; i < m_techniques.size(); ++i)
		if (m_techniques[i]->name() == name)
		{
			m_currentTechnique = int(i);
			break;
		}
	m_enabled = m_currentTechnique >= 0;
}

bool GL_Shader::hasTechnique(const char* name)
{
	if (emptyName(name))
		return false;
	for (const lang::Ptr<GL_Technique>& technique : m_techniques)
		if (technique->name() == name)
			return true;
	return false;
}

void GL_Shader::setTexture(ParamType param, BaseTexture* texture)
{
	setTexture(toString(param), texture);
}

void GL_Shader::setTexture(const char* name, BaseTexture* texture)
{
	store(m_textures, name, texture);
}

void GL_Shader::setMatrix(ParamType param, const math::float4x4& value)
{
	if (param == PARAM_WORLDTM && m_sort != SORT_NONE)
		m_context->m_sortWorldMatrix = value;
	setMatrix(toString(param), value);
}

void GL_Shader::setMatrix(const char* name, const math::float4x4& value)
{
	store(m_matrices, name, value);
}

void GL_Shader::setMatrixArray(ParamType param, math::float4x4** matrices, int count)
{
	if (param == PARAM_BONEWORLDTM && m_sort != SORT_NONE && m_sort != SORT_INSIDEOUT)
	{
		m_context->m_boneMatrices.resize(size_t(count));
		for (int i = 0; i < count; ++i)
			m_context->m_boneMatrices[size_t(i)] = *matrices[i];
	}
	setMatrixArray(toString(param), matrices, count);
}

void GL_Shader::setMatrixArray(const char* name, math::float4x4** matrices, int count)
{
	std::vector<math::float4x4>* slot = find(m_matrixArrays, name);
	if (!slot)
	{
		m_matrixArrays.emplace_back(name, std::vector<math::float4x4>());
		slot = &m_matrixArrays.back().second;
	}
	slot->resize(size_t(count));
	for (int i = 0; i < count; ++i)
		(*slot)[size_t(i)] = *matrices[i];
}

void GL_Shader::setVector(ParamType param, const math::float4& value)
{
	if (param == PARAM_CAMERAP && m_sort != SORT_NONE)
		m_context->m_sortCamera = value;
	setVector(toString(param), value);
}

void GL_Shader::setVector(const char* name, const math::float4& value)
{
	store(m_vectors, name, value);
}

void GL_Shader::setFloat(ParamType param, float value)
{
	setFloat(toString(param), value);
}

void GL_Shader::setFloat(const char* name, float value)
{
	store(m_floats, name, value);
}

BaseTexture* GL_Shader::getTexture(const char* name)
{
	BaseTexture** slot = find(m_textures, name);
	return slot ? *slot : nullptr;
}

math::float4x4 GL_Shader::getMatrix(const char* name)
{
	math::float4x4* slot = find(m_matrices, name);
	return slot ? *slot : math::float4x4(0.f);
}

math::float4 GL_Shader::getVector(const char* name)
{
	math::float4* slot = find(m_vectors, name);
	return slot ? *slot : math::float4(0, 0, 0, 0);
}

float GL_Shader::getFloat(const char* name)
{
	float* slot = find(m_floats, name);
	return slot ? *slot : 0.f;
}

int GL_Shader::begin()
{
	// An effect without techniques is disabled by reset(), so an enabled shader always
	// has its current technique.
	if (!m_enabled || m_currentTechnique < 0 || size_t(m_currentTechnique) >= m_techniques.size())
		return 0;
	// Queued 2-D drawing belongs to the state it was queued under.
	m_context->getBatcher().flush();
	return m_techniques[size_t(m_currentTechnique)]->passes();
}

void GL_Shader::beginPass(int pass)
{
	LANG_ASSERT(m_enabled);
	GL_Technique* technique = m_techniques[size_t(m_currentTechnique)];
	LANG_ASSERT(pass >= 0 && pass < technique->passes());
	m_currentPass = technique->getPass(pass);
	// Terms whose uniform holds its identity value run in a lean program, when the pass has one.
	unsigned identities = 0;
	if (const unsigned terms = m_currentPass->identityTerms())
	{
		for (unsigned i = 0; i < sizeof(GL_IDENTITY_TERMS) / sizeof(GL_IDENTITY_TERMS[0]); ++i)
		{
			if (!(terms & (1u << i)))
				continue;
			const GL_IdentityTerm& term = GL_IDENTITY_TERMS[i];
			const float* value = term.uniform ? find(m_floats, term.uniform) : nullptr;
			const bool identity = term.uniform ? value && *value == term.identity : m_context->getBatcher().drawingUncoloured();
			if (identity)
				identities |= 1u << i;
		}
	}
	GL_Shader_Platform* program = m_currentPass->begin(identities);
	// Vertices without colours read the attribute's constant value: white, like the
	// fixed-function current colour.
	const int diffuse = program->getAttributeLocation(gr::VertexFormat::DT_DIFFUSE);
	if (diffuse >= 0)
	{
		static const GLfloat WHITE[4] = {1.f, 1.f, 1.f, 1.f};
		gl.VertexAttrib4fv(GLuint(diffuse), WHITE);
		GR_GL_CHECK("beginPass", "source/gr/gl/GL2_Shader");
	}
	for (const auto& p : m_floats)
		program->setFloat(p.first.c_str(), p.second);
	for (const auto& p : m_vectors)
		program->setVector(p.first.c_str(), p.second);
	for (const auto& p : m_matrices)
		program->setMatrix(p.first.c_str(), p.second);
	int unit = 0;
	for (const auto& p : m_textures)
		program->setTexture(p.first.c_str(), static_cast<GL_Texture*>(p.second), unit++);
	for (auto& p : m_matrixArrays)
		program->setMatrixArray(p.first.c_str(), p.second.data(), int(p.second.size()));
}

void GL_Shader::endPass()
{
	LANG_ASSERT(m_enabled);
	try
	{
		if (m_currentPass)
			m_currentPass->end();
	}
	catch (const GraphicsException& e)
	{
		m_currentPass = nullptr;
		lang::throwError(GraphicsException(
			lang::Format("Rendering material \"{0}\" failed!\nReason: {1}\n", m_name, e.getMessage().format())));
	}
	m_currentPass = nullptr;
}

void GL_Shader::end()
{
}
}
}

namespace gr
{
namespace gles2
{
Shader* GL_Context::newEffectShader(const std::string& basename, int flags, const std::string& effectFile)
{
	return new GL_Shader(this, basename, effectFile, flags);
}
}
}
