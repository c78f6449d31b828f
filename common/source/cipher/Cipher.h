#ifndef CIPHER_CIPHER_H
#define CIPHER_CIPHER_H

#include <vector>

/** The key of the shipped script, data and level files: 32 bytes. */
const std::vector<unsigned char>& getStaticKey();
/** The key of the player's save files: 32 bytes. */
const std::vector<unsigned char>& getVariableKey();

/**
 * AES-256-CBC with PKCS#7 padding and an IV of zeros over the whole input.
 * A key shorter than 32 bytes is padded with zeros, a longer one cut.
 * False when the cipher fails (output then holds nothing useful); neither throws.
 */
bool encrypt(const std::vector<unsigned char>& key, const std::vector<unsigned char>& input, std::vector<unsigned char>& output);
/** False for input that is not whole blocks or whose padding is not valid. */
bool decrypt(const std::vector<unsigned char>& key, const std::vector<unsigned char>& input, std::vector<unsigned char>& output);

#endif
