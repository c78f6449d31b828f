#include <util/Base16.h>

namespace util
{
const BaseN<1, 2> Base16::sm_impl("0123456789ABCDEF");

std::string Base16::encode(const std::string& bytes)
{
	std::string out;
	out.reserve(bytes.size() * 2);
	for (char c : bytes)
		sm_impl.encodeUnit(BaseN<1, 2>::Unit{8, static_cast<unsigned char>(c)}, out);
	return out;
}
}
