#ifndef UTIL_SHA1_H
#define UTIL_SHA1_H

#include <string>
#include <vector>

namespace util
{
/** SHA-1 digests as 40 upper-case hexadecimal characters. */
class SHA1
{
public:
	/** Throws lang::Exception when length is negative or data is null with a positive length. */
	static std::string hash(const void* data, int length);
	static std::string hash(const std::string& s);
	static std::string hash(const std::vector<char>& v);
};
}

#endif
