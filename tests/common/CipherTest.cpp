#include <cipher/Cipher.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
std::vector<unsigned char> hex(const std::string& text)
{
	std::vector<unsigned char> bytes;
	for (size_t i = 0; i + 1 < text.size(); i += 2)
		bytes.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
	return bytes;
}
}

// NIST SP 800-38A F.2.5, CBC-AES256: with the zero IV only the first block applies,
// so the vector's IV is folded into the plaintext block.
TEST(Cipher, MatchesTheAes256CbcVector)
{
	const auto key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
	const auto iv = hex("000102030405060708090a0b0c0d0e0f");
	auto block = hex("6bc1bee22e409f96e93d7e117393172a");
	for (size_t i = 0; i < 16; ++i)
		block[i] ^= iv[i];
	std::vector<unsigned char> out;
	ASSERT_TRUE(encrypt(key, block, out));
	ASSERT_EQ(32u, out.size());
	EXPECT_EQ(hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"), std::vector<unsigned char>(out.begin(), out.begin() + 16));
	// The padding block enciphered after it.
	std::vector<unsigned char> back;
	ASSERT_TRUE(decrypt(key, out, back));
	EXPECT_EQ(block, back);
}

TEST(Cipher, RoundTripsEveryLengthWithWholeBlocks)
{
	const auto& key = getVariableKey();
	for (size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 1000u})
	{
		std::vector<unsigned char> plain(n);
		for (size_t i = 0; i < n; ++i)
			plain[i] = static_cast<unsigned char>(i * 7 + 3);
		std::vector<unsigned char> cipher, back;
		ASSERT_TRUE(encrypt(key, plain, cipher)) << n;
		EXPECT_EQ(16 * (n / 16 + 1), cipher.size()) << n;
		ASSERT_TRUE(decrypt(key, cipher, back)) << n;
		EXPECT_EQ(plain, back) << n;
	}
}

TEST(Cipher, ShortKeysArePaddedWithZerosAndLongOnesCut)
{
	std::vector<unsigned char> key31(31, 'k'), key32(key31), key40(32, 'k');
	key32.push_back(0);
	key40.insert(key40.end(), 8, 'z');
	const std::vector<unsigned char> plain = {'h', 'e', 'l', 'l', 'o'};
	std::vector<unsigned char> a, b, c, d;
	ASSERT_TRUE(encrypt(key31, plain, a));
	ASSERT_TRUE(encrypt(key32, plain, b));
	EXPECT_EQ(a, b);
	ASSERT_TRUE(encrypt(key40, plain, c));
	ASSERT_TRUE(encrypt(std::vector<unsigned char>(32, 'k'), plain, d));
	EXPECT_EQ(c, d);
}

TEST(Cipher, RefusesBrokenBlocksAndPlainText)
{
	const auto& key = getStaticKey();
	std::vector<unsigned char> out;
	EXPECT_FALSE(decrypt(key, std::vector<unsigned char>(17, 1), out));
	const std::string text = "highscore = 1234";
	EXPECT_EQ(16u, text.size());
	EXPECT_FALSE(decrypt(key, std::vector<unsigned char>(text.begin(), text.end()), out));
}

TEST(Cipher, KeysAreBuiltOnceAsLettersAndDigits)
{
	EXPECT_EQ(&getStaticKey(), &getStaticKey());
	EXPECT_EQ(32u, getStaticKey().size());
	EXPECT_EQ(32u, getVariableKey().size());
	EXPECT_NE(getStaticKey(), getVariableKey());
	for (const auto* key : {&getStaticKey(), &getVariableKey()})
		for (unsigned char c : *key)
			EXPECT_TRUE(std::isalnum(c)) << c;
}
