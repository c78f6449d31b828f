#include <util/SHA1.h>
#include <util/Base16.h>
#include <lang/Exception.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <openssl/evp.h>

namespace util
{
namespace
{
std::string digestHex(const void* data, size_t length)
{
	static const char empty = 0;
	if (length == 0)
		data = &empty;

	unsigned char digest[EVP_MAX_MD_SIZE];
	unsigned int size = 0;
	const int ok = EVP_Digest(data, length, digest, &size, EVP_sha1(), nullptr);
	LANG_ASSERT(ok == 1 && size == 20);
	return Base16::encode(std::string(reinterpret_cast<const char*>(digest), size));
}
}

std::string SHA1::hash(const void* data, int length)
{
	if (length < 0 || (length > 0 && !data))
		lang::throwError(lang::Exception(lang::Format("SHA1::hash: Bad input of length {0}", length)));
	return digestHex(data, static_cast<size_t>(length));
}

std::string SHA1::hash(const std::string& s)
{
	return digestHex(s.data(), s.size());
}

std::string SHA1::hash(const std::vector<char>& v)
{
	return digestHex(v.data(), v.size());
}
}
