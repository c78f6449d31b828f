#include <gr/Shader.h>
#include <lang/assert.h>

namespace gr
{
namespace
{
const char* const PARAM_NAMES[Shader::PARAM_COUNT] = {
	"NONE", "CAMERAP", "WORLDTM", "VIEWTM", "VIEWTMINV", "VIEWPROJTM", "PROJTM", "TOTALTM", "BONEWORLDTM", "TIME",
	"LIGHTP0", "LIGHTP1", "LIGHTP2", "LIGHTP3", "LIGHTP4", "LIGHTP5", "LIGHTP6", "LIGHTP7",
	"LIGHTC0", "LIGHTC1", "LIGHTC2", "LIGHTC3", "LIGHTC4", "LIGHTC5", "LIGHTC6", "LIGHTC7",
};
}

const char* Shader::toString(ParamType param)
{
	LANG_ASSERT(unsigned(param) < unsigned(PARAM_COUNT));
	return PARAM_NAMES[param];
}
}
