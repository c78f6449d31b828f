#include "Cipher.h"
#include <openssl/evp.h>
#include <climits>
#include <cstring>
#include <memory>

namespace
{
bool run(bool encipher, const std::vector<unsigned char>& key, const std::vector<unsigned char>& input, std::vector<unsigned char>& output)
{
	unsigned char k[32] = {};
	std::memcpy(k, key.data(), key.size() < 32 ? key.size() : 32);
	const unsigned char iv[16] = {};
	output.resize(input.size() + 16);
	// EVP counts in int; room for the padding block must fit too.
	if (input.size() > static_cast<size_t>(INT_MAX) - 16)
		return false;

	std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
	if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, k, iv, encipher ? 1 : 0) != 1)
		return false;
	int n = 0, last = 0;
	if (EVP_CipherUpdate(ctx.get(), output.data(), &n, input.data(), static_cast<int>(input.size())) != 1)
		return false;
	if (EVP_CipherFinal_ex(ctx.get(), output.data() + n, &last) != 1)
		return false;
	output.resize(static_cast<size_t>(n + last));
	return true;
}
}

bool encrypt(const std::vector<unsigned char>& key, const std::vector<unsigned char>& input, std::vector<unsigned char>& output)
{
	return run(true, key, input, output);
}

bool decrypt(const std::vector<unsigned char>& key, const std::vector<unsigned char>& input, std::vector<unsigned char>& output)
{
	return run(false, key, input, output);
}
