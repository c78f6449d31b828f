#include <gr/gl/GL_State.h>
#include <gr/GraphicsException.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace gr
{
namespace gles2
{
const char* const CullFaceNames[] = {"FRONT", "BACK", "FRONT_AND_BACK", nullptr};
const GLenum CullFaceValues[] = {GL_FRONT, GL_BACK, GL_FRONT_AND_BACK};

const char* const DepthFuncNames[] = {"NEVER", "ALWAYS", "LESS", "LEQUAL", "EQUAL", "GREATER", "GEQUAL", "NOTEQUAL", nullptr};
const GLenum DepthFuncValues[] = {GL_NEVER, GL_ALWAYS, GL_LESS, GL_LEQUAL, GL_EQUAL, GL_GREATER, GL_GEQUAL, GL_NOTEQUAL};

const char* const BlendEquationNames[] = {"FUNC_ADD", "FUNC_SUBTRACT", "FUNC_REVERSE_SUBTRACT", nullptr};
const GLenum BlendEquationValues[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT};

const char* const BlendFuncSrcNames[] = {"ZERO", "ONE", "DST_COLOR", "ONE_MINUS_DST_COLOR", "SRC_ALPHA_SATURATE",
	"SRC_ALPHA", "ONE_MINUS_SRC_ALPHA", "DST_ALPHA", "ONE_MINUS_DST_ALPHA", nullptr};
const GLenum BlendFuncSrcValues[] = {GL_ZERO, GL_ONE, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA_SATURATE,
	GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA};

const char* const BlendFuncDstNames[] = {"ZERO", "ONE", "SRC_COLOR", "ONE_MINUS_SRC_COLOR", "SRC_ALPHA",
	"ONE_MINUS_SRC_ALPHA", "DST_ALPHA", "ONE_MINUS_DST_ALPHA", nullptr};
const GLenum BlendFuncDstValues[] = {GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA,
	GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA};

namespace
{
[[noreturn]] void unsupportedValue(const std::string& value)
{
	lang::throwError(GraphicsException(lang::Format("Unsupported value \"{0}\"", value)));
}
}

bool parseBoolean(const std::string& value)
{
	if (value == "TRUE")
		return true;
	if (value == "FALSE")
		return false;
	unsupportedValue(value);
}

GLenum parseValue(const std::string& value, const char* const* names, const GLenum* values)
{
	for (int i = 0; names[i]; ++i)
		if (value == names[i])
			return values[i];
	unsupportedValue(value);
}

void GL_State::parse(const std::string& key, const std::string& value)
{
	if (key == "EnableCulling")
		m_cullFaceEnabled = parseBoolean(value);
	else if (key == "CullFace")
		m_cullFace = parseValue(value, CullFaceNames, CullFaceValues);
	else if (key == "EnableDepthTest")
		m_depthTest = parseBoolean(value);
	else if (key == "EnableDepthMask")
		m_depthMask = parseBoolean(value);
	else if (key == "DepthFunc")
		m_depthFunc = parseValue(value, DepthFuncNames, DepthFuncValues);
	else if (key == "EnableBlending")
		m_blend = parseBoolean(value);
	else if (key == "BlendEquation")
		m_blendEquation = parseValue(value, BlendEquationNames, BlendEquationValues);
	else if (key == "BlendFuncSrc")
		m_blendSrc = parseValue(value, BlendFuncSrcNames, BlendFuncSrcValues);
	else if (key == "BlendFuncDst")
		m_blendDst = parseValue(value, BlendFuncDstNames, BlendFuncDstValues);
	else
		lang::throwError(GraphicsException(lang::Format("Unsupported key \"{0}\"", key)));
}
}
}
