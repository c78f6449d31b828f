#include <util/Base64.h>

namespace util
{
const BaseN<3, 4> Base64::sm_impl("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");

std::string Base64::decode(const std::string& text)
{
	return sm_impl.decode(text);
}
}
