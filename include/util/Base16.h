#ifndef UTIL_BASE16_H
#define UTIL_BASE16_H

#include <util/BaseN.h>
#include <string>

namespace util
{
/** Upper-case hexadecimal text. */
class Base16
{
public:
	/** Two characters per byte, high four bits first. */
	static std::string encode(const std::string& bytes);

	static const BaseN<1, 2> sm_impl;
};
}

#endif
