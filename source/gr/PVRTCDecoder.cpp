#include <gr/PVRTCDecoder.h>
#include <gr/GraphicsException.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace gr
{
namespace
{
// Colour end points in the format's own precision: 5 bits of red, green
// and blue, 4 bits of alpha.
struct Pixel128
{
	int red, green, blue, alpha;
};

// 2-bit modulation values to weights of colour B in eighths.
const int RepVals0[4] = {0, 3, 5, 8};
// Marks a punch-through pixel: weight 4, alpha 0.
const int PUNCH = 16;

bool isPowerOf2(uint32_t v)
{
	return v != 0 && (v & (v - 1)) == 0;
}

Pixel128 getColourA(uint32_t c)
{
	Pixel128 p;
	if (c & 0x8000)
	{
		p.red = (c >> 10) & 31;
		p.green = (c >> 5) & 31;
		p.blue = (c & 0x1e) | ((c & 0x1e) >> 4);
		p.alpha = 15;
	}
	else
	{
		p.red = ((c >> 7) & 0x1e) | ((c >> 11) & 1);
		p.green = ((c >> 3) & 0x1e) | ((c >> 7) & 1);
		p.blue = ((c << 1) & 0x1c) | ((c >> 2) & 3);
		p.alpha = (c >> 11) & 0xe;
	}
	return p;
}

Pixel128 getColourB(uint32_t c)
{
	Pixel128 p;
	if (c & 0x80000000u)
	{
		p.red = (c >> 26) & 31;
		p.green = (c >> 21) & 31;
		p.blue = (c >> 16) & 31;
		p.alpha = 15;
	}
	else
	{
		p.red = ((c >> 23) & 0x1e) | ((c >> 27) & 1);
		p.green = ((c >> 19) & 0x1e) | ((c >> 23) & 1);
		p.blue = ((c >> 15) & 0x1e) | ((c >> 19) & 1);
		p.alpha = (c >> 27) & 0xe;
	}
	return p;
}

/**
 * Writes one block's modulation into the image-wide arrays: weights of
 * colour B (0-8, or PUNCH) and, for 2 bpp, the interpolation mode of the
 * pixels whose value comes from their neighbours (0 = stored).
 */
void unpackModulations(const PVRTCWord& word, bool do2bit, int x0, int y0, int pitch, uint8_t* values, uint8_t* modes)
{
	uint32_t bits = word.modulationData;
	const bool modeBit = (word.colourData & 1) != 0;
	if (!do2bit)
	{
		for (int y = 0; y < 4; ++y)
		{
			for (int x = 0; x < 4; ++x, bits >>= 2)
			{
				const int v = bits & 3;
				int w = RepVals0[v];
				if (modeBit)
					w = v == 0 ? 0 : (v == 3 ? 8 : (v == 1 ? 4 : PUNCH));
				values[(y0 + y) * pitch + x0 + x] = static_cast<uint8_t>(w);
			}
		}
		return;
	}
	if (!modeBit)
	{
		// One bit per pixel: colour A or colour B.
		for (int y = 0; y < 4; ++y)
			for (int x = 0; x < 8; ++x, bits >>= 1)
			{
				values[(y0 + y) * pitch + x0 + x] = (bits & 1) ? 8 : 0;
				modes[(y0 + y) * pitch + x0 + x] = 0;
			}
		return;
	}
	// Checkerboard of stored 2-bit values; the others come from neighbours.
	// Bit 0 chooses between both-direction and one-direction filling (then
	// bit 20 chooses vertical); the values that lost a bit to a flag repeat
	// their other bit.
	uint8_t mode = 1;
	if (bits & 1)
	{
		mode = (bits & (1u << 20)) ? 3 : 2;
		if (bits & (1u << 21))
			bits |= 1u << 20;
		else
			bits &= ~(1u << 20);
	}
	if (bits & 2)
		bits |= 1;
	else
		bits &= ~1u;
	for (int y = 0; y < 4; ++y)
	{
		for (int x = 0; x < 8; ++x)
		{
			const int i = (y0 + y) * pitch + x0 + x;
			if (((x ^ y) & 1) == 0)
			{
				values[i] = static_cast<uint8_t>(RepVals0[bits & 3]);
				modes[i] = 0;
				bits >>= 2;
			}
			else
			{
				values[i] = 0;
				modes[i] = mode;
			}
		}
	}
}

/** Fills the 2 bpp pixels whose modulation is the mean of their neighbours (wrapping at the edges). */
void getModulationValues(int width, int height, uint8_t* values, const uint8_t* modes)
{
	for (int y = 0; y < height; ++y)
	{
		const int up = ((y + height - 1) % height) * width, down = ((y + 1) % height) * width;
		for (int x = 0; x < width; ++x)
		{
			const int mode = modes[y * width + x];
			if (mode == 0)
				continue;
			const int left = y * width + (x + width - 1) % width, right = y * width + (x + 1) % width;
			const int u = values[up + x], d = values[down + x], l = values[left], r = values[right];
			int v;
			if (mode == 1)
				v = (u + d + l + r + 2) / 4;
			else if (mode == 2)
				v = (l + r + 1) / 2;
			else
				v = (u + d + 1) / 2;
			values[y * width + x] = static_cast<uint8_t>(v);
		}
	}
}

/**
 * Bilinear mix of the colours of four neighbouring blocks (p top-left, q
 * top-right, r bottom-left, s bottom-right) along the row fy below p's
 * centre: out[fx] for fx = 0 .. blockWidth-1, widened to 8 bits.
 */
inline void interpolateColours(const Pixel128& p, const Pixel128& q, const Pixel128& r, const Pixel128& s,
	int fy, int blockWidth, int out[][4])
{
	const int pc[4] = {p.red, p.green, p.blue, p.alpha};
	const int qc[4] = {q.red, q.green, q.blue, q.alpha};
	const int rc[4] = {r.red, r.green, r.blue, r.alpha};
	const int sc[4] = {s.red, s.green, s.blue, s.alpha};
	int sum[4], step[4];
	for (int c = 0; c < 4; ++c)
	{
		const int left = pc[c] * (4 - fy) + rc[c] * fy, right = qc[c] * (4 - fy) + sc[c] * fy;
		sum[c] = left * blockWidth;
		step[c] = right - left;
	}
	// The weights add up to 16 (4 bpp) or 32 (2 bpp); dividing and
	// replicating the top bits widens 5-bit colour and 4-bit alpha to 8 bits.
	const int rgbShift = blockWidth == 4 ? 6 : 7, alphaShift = blockWidth == 4 ? 4 : 5;
	for (int fx = 0; fx < blockWidth; ++fx)
	{
		for (int c = 0; c < 3; ++c)
			out[fx][c] = (sum[c] >> rgbShift) + (sum[c] >> (rgbShift - 5));
		out[fx][3] = (sum[3] >> alphaShift) + (sum[3] >> (alphaShift - 4));
		for (int c = 0; c < 4; ++c)
			sum[c] += step[c];
	}
}
}

uint32_t TwiddleUV(uint32_t xSize, uint32_t ySize, uint32_t xPos, uint32_t yPos)
{
	uint32_t minDimension = xSize;
	uint32_t maxValue = yPos;
	if (ySize < xSize)
	{
		minDimension = ySize;
		maxValue = xPos;
	}
	uint32_t twiddled = 0;
	uint32_t srcBit = 1, dstBit = 1;
	int shift = 0;
	// Interleave the bits of the shorter side, y in the lower position;
	// the longer side's remaining bits go on top.
	while (srcBit < minDimension)
	{
		if (yPos & srcBit)
			twiddled |= dstBit;
		if (xPos & srcBit)
			twiddled |= dstBit << 1;
		srcBit <<= 1;
		dstBit <<= 2;
		++shift;
	}
	maxValue >>= shift;
	return twiddled | (maxValue << (2 * shift));
}

int decompressPVRTC(const void* src, int do2bit, int width, int height, unsigned char* dst)
{
	const bool twoBit = do2bit != 0;
	const int blockWidth = twoBit ? 8 : 4;
	if (width <= 0 || height <= 0)
		lang::throwError(GraphicsException(lang::Format("Invalid PVRTC image size {0}x{1}", width, height)));
	const int paddedWidth = std::max(width, twoBit ? 16 : 8);
	const int paddedHeight = std::max(height, 8);
	const uint32_t blocksX = paddedWidth / blockWidth, blocksY = paddedHeight / 4;
	if (paddedWidth % blockWidth != 0 || paddedHeight % 4 != 0 || !isPowerOf2(blocksX) || !isPowerOf2(blocksY))
		lang::throwError(GraphicsException(lang::Format("PVRTC image size {0}x{1} is not a power of two", width, height)));

	const uint8_t* in = static_cast<const uint8_t*>(src);
	const size_t blocks = size_t(blocksX) * blocksY;
	const size_t pixels = size_t(paddedWidth) * paddedHeight;
	std::vector<Pixel128> colA, colB;
	std::vector<uint8_t> values, modes;
	try
	{
		colA.resize(blocks);
		colB.resize(blocks);
		values.resize(pixels);
		modes.resize(twoBit ? pixels : 0);
	}
	catch (const std::bad_alloc&)
	{
		lang::throw_OutOfMemoryException();
	}
	for (uint32_t by = 0; by < blocksY; ++by)
	{
		for (uint32_t bx = 0; bx < blocksX; ++bx)
		{
			const uint8_t* p = in + size_t(TwiddleUV(blocksX, blocksY, bx, by)) * 8;
			PVRTCWord word;
			word.modulationData = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
			word.colourData = p[4] | (p[5] << 8) | (p[6] << 16) | (uint32_t(p[7]) << 24);
			colA[by * blocksX + bx] = getColourA(word.colourData);
			colB[by * blocksX + bx] = getColourB(word.colourData);
			unpackModulations(word, twoBit, bx * blockWidth, by * 4, paddedWidth, values.data(), twoBit ? modes.data() : nullptr);
		}
	}
	if (twoBit)
		getModulationValues(paddedWidth, paddedHeight, values.data(), modes.data());

	// Colours A and B are defined at block centres: the pixels between the
	// centres of four neighbouring blocks (p top-left, q top-right, r
	// bottom-left, s bottom-right) mix those four, wrapping at the edges.
	const int half = blockWidth / 2;
	const int xMask = paddedWidth - 1, yMask = paddedHeight - 1;
	for (uint32_t by0 = 0; by0 < blocksY; ++by0)
	{
		const uint32_t by1 = (by0 + 1) & (blocksY - 1);
		for (uint32_t bx0 = 0; bx0 < blocksX; ++bx0)
		{
			const uint32_t bx1 = (bx0 + 1) & (blocksX - 1);
			// Copies: stores through the byte output must not force reloads.
			const Pixel128 pa = colA[by0 * blocksX + bx0], qa = colA[by0 * blocksX + bx1], ra = colA[by1 * blocksX + bx0],
				sa = colA[by1 * blocksX + bx1];
			const Pixel128 pb = colB[by0 * blocksX + bx0], qb = colB[by0 * blocksX + bx1], rb = colB[by1 * blocksX + bx0],
				sb = colB[by1 * blocksX + bx1];
			for (int fy = 0; fy < 4; ++fy)
			{
				const int y = (by0 * 4 + 2 + fy) & yMask;
				if (y >= height)
					continue;
				int a[8][4], b[8][4];
				interpolateColours(pa, qa, ra, sa, fy, blockWidth, a);
				interpolateColours(pb, qb, rb, sb, fy, blockWidth, b);
				const uint8_t* mods = &values[size_t(y) * paddedWidth];
				unsigned char* row = dst + size_t(y) * width * 4;
				for (int fx = 0; fx < blockWidth; ++fx)
				{
					const int x = (bx0 * blockWidth + half + fx) & xMask;
					if (x >= width)
						continue;
					int mod = mods[x];
					const bool punch = mod == PUNCH;
					if (punch)
						mod = 4;
					uint32_t pixel = 0;
					for (int c = 0; c < 4; ++c)
						pixel |= uint32_t((a[fx][c] * (8 - mod) + b[fx][c] * mod) >> 3) << (8 * c);
					if (punch)
						pixel &= 0x00FFFFFF;
					const unsigned char bytes[4] = {uint8_t(pixel), uint8_t(pixel >> 8), uint8_t(pixel >> 16), uint8_t(pixel >> 24)};
					std::memcpy(row + x * 4, bytes, 4);
				}
			}
		}
	}
	return static_cast<int>(pixels / (twoBit ? 4 : 2));
}
}
