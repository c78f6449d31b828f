#ifndef UTIL_BASE64_H
#define UTIL_BASE64_H

#include <util/BaseN.h>
#include <string>

namespace util
{
/** Base64 with the URL-safe alphabet ("-" is 62, "_" is 63). */
class Base64
{
public:
	/**
	 * The decoded bytes. Padding is optional; line feeds, carriage returns
	 * and spaces are ignored. Throws lang::Exception on a bad character.
	 */
	static std::string decode(const std::string& text);

	static const BaseN<3, 4> sm_impl;
};
}

#endif
