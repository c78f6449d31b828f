#include <gr/ETCDecoder.h>
#include <algorithm>
#include <cstring>

namespace gr
{
namespace
{
// Intensity modifiers, one row per table code word; indexed by the pixel's 2-bit value.
const int mod[8][4] = {
	{2, 8, -2, -8},
	{5, 17, -5, -17},
	{9, 29, -9, -29},
	{13, 42, -13, -42},
	{18, 60, -18, -60},
	{24, 80, -24, -80},
	{33, 106, -33, -106},
	{47, 183, -47, -183},
};

inline unsigned char clamp255(int v)
{
	return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline int extend5(int v)
{
	return (v << 3) | (v >> 2);
}
}

void decodeETC1Block(const void* block, unsigned char out[64])
{
	const unsigned char* b = static_cast<const unsigned char*>(block);
	const unsigned word0 = b[0] | (b[1] << 8) | (b[2] << 16) | (unsigned(b[3]) << 24);
	int base[2][3];
	if (word0 & ETC_DIFF)
	{
		for (int c = 0; c < 3; ++c)
		{
			const int v = b[c] >> 3;
			int delta = b[c] & 7;
			if (delta >= 4)
				delta -= 8;
			base[0][c] = extend5(v);
			base[1][c] = extend5((v + delta) & 31);
		}
	}
	else
	{
		for (int c = 0; c < 3; ++c)
		{
			base[0][c] = (b[c] >> 4) * 17;
			base[1][c] = (b[c] & 15) * 17;
		}
	}
	const int table[2] = {(b[3] >> 5) & 7, (b[3] >> 2) & 7};
	const bool flip = (word0 & ETC_FLIP) != 0;
	// Pixel bits: most significant halves in bytes 4-5, least in 6-7, column-major.
	const unsigned bits = (unsigned(b[4]) << 24) | (b[5] << 16) | (b[6] << 8) | b[7];
	for (int y = 0; y < 4; ++y)
	{
		for (int x = 0; x < 4; ++x)
		{
			const int i = x * 4 + y;
			const int index = (((bits >> (16 + i)) & 1) << 1) | ((bits >> i) & 1);
			const int sub = flip ? (y >= 2) : (x >= 2);
			const int m = mod[table[sub]][index];
			unsigned char* p = out + (y * 4 + x) * 4;
			for (int c = 0; c < 3; ++c)
				p[c] = clamp255(base[sub][c] + m);
			p[3] = 255;
		}
	}
}

int decompressETC(const void* src, const unsigned int& width, const unsigned int& height, void* dst, const int& /*mode*/)
{
	const unsigned char* in = static_cast<const unsigned char*>(src);
	unsigned char* out = static_cast<unsigned char*>(dst);
	const unsigned blocksX = (width + 3) / 4, blocksY = (height + 3) / 4;
	const size_t pitch = size_t(width) * 4;
	unsigned char pixels[64];
	for (unsigned by = 0; by < blocksY; ++by)
	{
		const unsigned rows = std::min(4u, height - by * 4);
		for (unsigned bx = 0; bx < blocksX; ++bx, in += 8)
		{
			decodeETC1Block(in, pixels);
			const unsigned cols = std::min(4u, width - bx * 4);
			for (unsigned y = 0; y < rows; ++y)
				std::memcpy(out + (by * 4 + y) * pitch + bx * 16, pixels + y * 16, cols * 4);
		}
	}
	return static_cast<int>(blocksX * blocksY * 8);
}
}
