#include <gr/DXTDecoder.h>

namespace gr
{
namespace
{
inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
	return (a << 24) | (r << 16) | (g << 8) | b;
}

inline uint16_t le16(const uint8_t* p)
{
	return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline DXTColBlock readColBlock(const uint8_t* p)
{
	DXTColBlock b;
	b.col0 = le16(p);
	b.col1 = le16(p + 2);
	for (int i = 0; i < 4; ++i)
		b.row[i] = p[4 + i];
	return b;
}

void decodeColours(const uint8_t* p, uint32_t out[16])
{
	DXTColBlock block = readColBlock(p);
	unsigned int colours[4];
	getBlockColorsA8R8G8B8(&block, colours);
	for (int y = 0; y < 4; ++y)
		for (int x = 0; x < 4; ++x)
			out[y * 4 + x] = colours[(block.row[y] >> (2 * x)) & 3];
}

// DXT5's interpolated alpha: eight levels from two end points.
void decodeAlpha5(const uint8_t* p, uint8_t out[16])
{
	const unsigned a0 = p[0], a1 = p[1];
	unsigned levels[8] = {a0, a1};
	if (a0 > a1)
	{
		for (unsigned i = 1; i < 7; ++i)
			levels[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
	}
	else
	{
		for (unsigned i = 1; i < 5; ++i)
			levels[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
		levels[6] = 0;
		levels[7] = 255;
	}
	for (int group = 0; group < 2; ++group)
	{
		const uint8_t* g = p + 2 + 3 * group;
		uint32_t bits = g[0] | (g[1] << 8) | (g[2] << 16);
		for (int i = 0; i < 8; ++i)
			out[group * 8 + i] = static_cast<uint8_t>(levels[(bits >> (3 * i)) & 7]);
	}
}
}

void getBlockColorsA8R8G8B8(const DXTColBlock* block, unsigned int colours[4])
{
	unsigned c[2][3];
	const uint16_t cols[2] = {block->col0, block->col1};
	for (int i = 0; i < 2; ++i)
	{
		c[i][0] = ((cols[i] >> 11) & 31) * 255 / 31;
		c[i][1] = ((cols[i] >> 5) & 63) * 255 / 63;
		c[i][2] = (cols[i] & 31) * 255 / 31;
		colours[i] = argb(255, c[i][0], c[i][1], c[i][2]);
	}
	if (block->col0 > block->col1)
	{
		unsigned c2[3], c3[3];
		for (int k = 0; k < 3; ++k)
		{
			c2[k] = (2 * c[0][k] + c[1][k] + 1) / 3;
			c3[k] = (c[0][k] + 2 * c[1][k] + 1) / 3;
		}
		colours[2] = argb(255, c2[0], c2[1], c2[2]);
		colours[3] = argb(255, c3[0], c3[1], c3[2]);
	}
	else
	{
		colours[2] = argb(255, (c[0][0] + c[1][0]) / 2, (c[0][1] + c[1][1]) / 2, (c[0][2] + c[1][2]) / 2);
		colours[3] = 0;
	}
}

void decodeDXTBlock(int dxtVersion, const void* block, uint32_t out[16])
{
	const uint8_t* p = static_cast<const uint8_t*>(block);
	if (dxtVersion == 1)
	{
		decodeColours(p, out);
		return;
	}
	decodeColours(p + 8, out);
	if (dxtVersion == 3)
	{
		for (int y = 0; y < 4; ++y)
		{
			const unsigned word = le16(p + 2 * y);
			for (int x = 0; x < 4; ++x)
			{
				const unsigned a4 = (word >> (4 * x)) & 15;
				out[y * 4 + x] = (out[y * 4 + x] & 0x00FFFFFF) | ((a4 * 255 / 15) << 24);
			}
		}
	}
	else
	{
		uint8_t alpha[16];
		decodeAlpha5(p, alpha);
		for (int i = 0; i < 16; ++i)
			out[i] = (out[i] & 0x00FFFFFF) | (uint32_t(alpha[i]) << 24);
	}
}

uint32_t getPixelDXT5(int x, int y, const void* src, int srcPitch)
{
	const uint8_t* block = static_cast<const uint8_t*>(src) + srcPitch * (y / 4) + 16 * (x / 4);
	uint32_t pixels[16];
	decodeDXTBlock(5, block, pixels);
	return pixels[(y % 4) * 4 + x % 4];
}
}
