#ifndef UTIL_BASEN_H
#define UTIL_BASEN_H

#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <cstdint>
#include <string>

namespace util
{
/**
 * Radix codec that turns groups of IN bytes into groups of OUT characters
 * of an alphabet with 2^(8*IN/OUT) characters, and back.
 */
template <int IN, int OUT> class BaseN
{
public:
	/** Bits per character. */
	static const int sm_encodedBlockSize = 8 * IN / OUT;

	/** One group of bits, right-aligned. */
	struct Unit
	{
		uint32_t bits;
		uint64_t value;
	};

	explicit BaseN(const std::string& alphabet) : m_alphabet(alphabet)
	{
		LANG_ASSERT(m_alphabet.size() == 1u << sm_encodedBlockSize);
		for (int& d : m_decode)
			d = -1;
		for (size_t p = 0; p < m_alphabet.size(); ++p)
		{
			// The table is indexed by unsigned byte; alphabets are plain ASCII.
			const int chr = static_cast<signed char>(m_alphabet[p]);
			LANG_ASSERT(chr >= 0 && chr < 128);
			m_decode[chr] = static_cast<int>(p);
		}
	}

	/** Appends the characters of one unit: ceil(bits / block) of them, zero-padded on the right. */
	void encodeUnit(const Unit& unit, std::string& out) const
	{
		const uint32_t b = sm_encodedBlockSize;
		const uint32_t chars = (unit.bits + b - 1) / b;
		const uint64_t value = unit.value << (chars * b - unit.bits);
		const uint64_t mask = (uint64_t(1) << b) - 1;
		for (uint32_t k = chars; k-- > 0;)
			out += m_alphabet[static_cast<size_t>((value >> (k * b)) & mask)];
	}

	/**
	 * Decodes the whole text. Line feeds, carriage returns and spaces are
	 * skipped; "=" ends a group. Throws lang::Exception on any other byte
	 * outside the alphabet.
	 */
	std::string decode(const std::string& text) const
	{
		std::string out;
		out.reserve(text.size() * IN / OUT + IN);
		size_t pos = 0;
		while (pos < text.size())
		{
			const Unit unit = getEncodedUnit(text, pos);
			for (uint32_t k = 0; k < unit.bits / 8; ++k)
				out += static_cast<char>((unit.value >> (unit.bits - 8 * (k + 1))) & 0xFF);
		}
		return out;
	}

	/** Reads up to OUT counted characters from text at pos into a unit and advances pos. */
	Unit getEncodedUnit(const std::string& text, size_t& pos) const
	{
		Unit unit = {0, 0};
		int count = 0;
		while (count < OUT && pos < text.size())
		{
			const unsigned char c = static_cast<unsigned char>(text[pos++]);
			if (c == '\n' || c == '\r' || c == ' ')
				continue;
			if (c == '=')
				break;
			const int d = m_decode[c];
			if (d < 0)
				lang::throwError(lang::Exception(lang::Format("BaseN::decode: Bad character in input: {0}", int(c))));
			unit.value = (unit.value << sm_encodedBlockSize) | uint64_t(d);
			unit.bits += sm_encodedBlockSize;
			++count;
		}
		return unit;
	}

private:
	std::string m_alphabet;
	int m_decode[256];
};
}

#endif
