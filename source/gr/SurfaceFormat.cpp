#include <gr/SurfaceFormat.h>
#include <gr/DXTDecoder.h>
#include <gr/ETCDecoder.h>
#include <gr/GraphicsException.h>
#include <gr/PVRTCDecoder.h>
#include <lang/throwError.h>
#include "HalfFloat.h"
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace gr
{
namespace
{
typedef SurfaceFormat SF;

// Per type: bits per pixel, then red, green, blue and alpha masks of the
// pixel read as a little-endian integer.
const uint32_t FORMATDESC[SF::SURFACE_LAST][6] = {
	{0, 0, 0, 0, 0, 0},
	{24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
	{24, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
	{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
	{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
	{32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
	{32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
	{16, 0xF800, 0x07E0, 0x001F, 0},
	{16, 0x7C00, 0x03E0, 0x001F, 0},
	{32, 0x3F000, 0x00FC0, 0x0003F, 0},
	{4, 0, 0, 0, 0},
	{8, 0, 0, 0, 0},
	{8, 0xFF, 0xFF, 0xFF, 0},
	{16, 0x00FF, 0x00FF, 0x00FF, 0xFF00},
	{16, 0x7C00, 0x03E0, 0x001F, 0x8000},
	{16, 0x0F00, 0x00F0, 0x000F, 0},
	{16, 0x0F00, 0x00F0, 0x000F, 0xF000},
	{16, 0x000F, 0x00F0, 0x0F00, 0xF000},
	{16, 0xF000, 0x0F00, 0x00F0, 0x000F},
	{16, 0x001F, 0x03E0, 0x7C00, 0x8000},
	{16, 0xF800, 0x07C0, 0x003E, 0x0001},
	{8, 0xE0, 0x1C, 0x03, 0},
	{8, 0xE0, 0x18, 0x07, 0},
	{8, 0, 0, 0, 0xFF},
	{16, 0x00E0, 0x001C, 0x0003, 0xFF00},
	{16, 0x00E0, 0x0018, 0x0007, 0xFF00},
	{0, 0, 0, 0, 0},
	{0, 0, 0, 0, 0},
	{0, 0, 0, 0, 0},
	{2, 0, 0, 0, 0},
	{2, 0, 0, 0, 0},
	{4, 0, 0, 0, 0},
	{4, 0, 0, 0, 0},
	{4, 0, 0, 0, 0},
	{16, 0, 0, 0, 0},
	{32, 0, 0, 0, 0},
	{64, 0, 0, 0, 0},
	{32, 0, 0, 0, 0},
	{64, 0, 0, 0, 0},
	{128, 0, 0, 0, 0},
	{32, 0, 0, 0, 0},
	{24, 0, 0, 0, 0},
	{16, 0, 0, 0, 0},
	{32, 0, 0, 0, 0},
};

const char* const FORMAT_NAMES[SF::SURFACE_LAST] = {
	"UNKNOWN", "R8G8B8", "B8G8R8", "A8R8G8B8", "X8R8G8B8", "X8B8G8R8", "A8B8G8R8", "R5G6B5", "R5G5B5", "R6G6B6",
	"P4", "P8", "L8", "A8L8", "A1R5G5B5", "X4R4G4B4", "A4R4G4B4", "A4B4G4R4", "R4G4B4A4", "A1B5G5R5", "R5G5B5A1",
	"R3G3B2", "R3G2B3", "A8", "A8R3G3B2", "A8R3G2B3", "DXT1", "DXT3", "DXT5", "RGB_PVRTC_GL_2BPP",
	"RGBA_PVRTC_GL_2BPP", "RGB_PVRTC_GL_4BPP", "RGBA_PVRTC_GL_4BPP", "ETC1_RGB_4BPP", "R16F", "G16R16F",
	"A16B16G16R16F", "R32F", "G32R32F", "A32B32G32R32F", "D32", "D24", "D16", "D24S8",
};

// Float formats: bits per component, then the component index of red,
// green, blue and alpha (-1 when absent).
struct HdrInfo
{
	int bits;
	int index[4];
};

const HdrInfo HDR_INFO[6] = {
	{16, {0, -1, -1, -1}},
	{16, {0, 1, -1, -1}},
	{16, {0, 1, 2, 3}},
	{32, {0, -1, -1, -1}},
	{32, {0, 1, -1, -1}},
	{32, {0, 1, 2, 3}},
};

bool isFloat(SF::SurfaceFormatType t)
{
	return t >= SF::SURFACE_R16F && t <= SF::SURFACE_A32B32G32R32F;
}

bool isPalette(SF::SurfaceFormatType t)
{
	return t == SF::SURFACE_P4 || t == SF::SURFACE_P8;
}

bool isCompressed(SF::SurfaceFormatType t)
{
	return t >= SF::SURFACE_DXT1 && t <= SF::SURFACE_ETC1_RGB_4BPP;
}

bool isDepth(SF::SurfaceFormatType t)
{
	return t >= SF::SURFACE_D32;
}

// Widening of an n-bit channel value to 8 bits by repeating its bits, so
// that the largest value of any width becomes 255.
struct WidenTable
{
	uint8_t v[9][256];
	WidenTable()
	{
		std::memset(v, 0, sizeof(v));
		for (int n = 1; n <= 8; ++n)
			for (int c = 0; c < (1 << n); ++c)
			{
				int out = 0;
				for (int pos = 8 - n; pos > -n; pos -= n)
					out |= pos >= 0 ? c << pos : c >> -pos;
				v[n][c] = static_cast<uint8_t>(out);
			}
	}
};
const WidenTable WIDEN;

int bitCount(uint32_t v)
{
	int n = 0;
	for (; v; v &= v - 1)
		++n;
	return n;
}

int lowestBit(uint32_t v)
{
	if (!v)
		return 32;
	int s = 0;
	while (!(v & 1))
	{
		v >>= 1;
		++s;
	}
	return s;
}

// How one side of a row conversion stores its channels.
struct Layout
{
	int bytes; // of one pixel or palette entry
	uint32_t mask[4];
	int shift[4];
	int bits[4];
	uint32_t outside; // bits outside the four masks
	const HdrInfo* hdr;

	explicit Layout(SF::SurfaceFormatType t)
	{
		bytes = int(FORMATDESC[t][0]) / 8;
		uint32_t all = 0;
		for (int c = 0; c < 4; ++c)
		{
			mask[c] = FORMATDESC[t][1 + c];
			shift[c] = lowestBit(mask[c]);
			bits[c] = bitCount(mask[c]);
			all |= mask[c];
		}
		outside = bytes >= 4 ? ~all : (((1u << (8 * bytes)) - 1) & ~all);
		hdr = isFloat(t) ? &HDR_INFO[t - SF::SURFACE_R16F] : nullptr;
	}
};

inline uint32_t readInt(const uint8_t* p, int bytes)
{
	switch (bytes)
	{
	case 2: return p[0] | (p[1] << 8);
	case 3: return p[0] | (p[1] << 8) | (p[2] << 16);
	case 4: return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
	default: return p[0];
	}
}

inline void writeInt(uint8_t* p, int bytes, uint32_t v)
{
	switch (bytes)
	{
	case 4: p[3] = uint8_t(v >> 24); // fall through
	case 3: p[2] = uint8_t(v >> 16); // fall through
	case 2: p[1] = uint8_t(v >> 8); // fall through
	default: p[0] = uint8_t(v);
	}
}

inline void unpackInt(const Layout& l, uint32_t v, uint8_t c[4])
{
	for (int i = 0; i < 4; ++i)
		c[i] = l.bits[i] ? WIDEN.v[l.bits[i]][(v & l.mask[i]) >> l.shift[i]] : 0;
}

inline void readFloat(const Layout& l, const uint8_t* p, float f[4])
{
	for (int i = 0; i < 4; ++i)
	{
		const int k = l.hdr->index[i];
		if (k < 0)
			f[i] = i == 3 ? 1.f : 0.f;
		else if (l.hdr->bits == 16)
			f[i] = halfToFloat(uint16_t(p[2 * k] | (p[2 * k + 1] << 8)));
		else
			std::memcpy(&f[i], p + 4 * k, 4);
	}
}

inline void writeFloat(const Layout& l, uint8_t* p, const float f[4])
{
	for (int i = 0; i < 4; ++i)
	{
		const int k = l.hdr->index[i];
		if (k < 0)
			continue;
		if (l.hdr->bits == 16)
		{
			const uint16_t h = floatToHalf(f[i]);
			p[2 * k] = uint8_t(h);
			p[2 * k + 1] = uint8_t(h >> 8);
		}
		else
			std::memcpy(p + 4 * k, &f[i], 4);
	}
}

// Integer to integer rows, the common case: per channel a widening table
// lookup, a narrowing shift and a placement, specialised on pixel sizes.
struct IntChannel
{
	uint32_t srcMask;
	int srcShift;
	const uint8_t* widen;
	int narrow;
	int dstShift;
	uint32_t dstMask;
};

template <int SB, int DB>
void intRow(uint8_t* dst, const uint8_t* src, int count, const IntChannel* channels, int channelCount, uint32_t fill)
{
	bool bytes = true;
	for (int c = 0; c < channelCount; ++c)
		bytes = bytes && channels[c].srcMask >> channels[c].srcShift == 0xFF && channels[c].narrow == 0;
	if (bytes)
	{
		// 8-bit channels on both sides: moved without widening.
		for (int i = 0; i < count; ++i, src += SB, dst += DB)
		{
			const uint32_t v = readInt(src, SB);
			uint32_t out = fill;
			for (int c = 0; c < channelCount; ++c)
				out |= ((v >> channels[c].srcShift) & 0xFF) << channels[c].dstShift;
			writeInt(dst, DB, out);
		}
		return;
	}
	for (int i = 0; i < count; ++i, src += SB, dst += DB)
	{
		const uint32_t v = readInt(src, SB);
		uint32_t out = fill;
		for (int c = 0; c < channelCount; ++c)
		{
			const IntChannel& ch = channels[c];
			out |= (uint32_t(ch.widen[(v & ch.srcMask) >> ch.srcShift] >> ch.narrow) << ch.dstShift) & ch.dstMask;
		}
		writeInt(dst, DB, out);
	}
}

template <int SB>
void intRowTo(int db, uint8_t* dst, const uint8_t* src, int count, const IntChannel* channels, int channelCount, uint32_t fill)
{
	switch (db)
	{
	case 1: intRow<SB, 1>(dst, src, count, channels, channelCount, fill); break;
	case 2: intRow<SB, 2>(dst, src, count, channels, channelCount, fill); break;
	case 3: intRow<SB, 3>(dst, src, count, channels, channelCount, fill); break;
	default: intRow<SB, 4>(dst, src, count, channels, channelCount, fill); break;
	}
}

void intRowAny(int sb, int db, uint8_t* dst, const uint8_t* src, int count, const IntChannel* channels, int channelCount, uint32_t fill)
{
	switch (sb)
	{
	case 1: intRowTo<1>(db, dst, src, count, channels, channelCount, fill); break;
	case 2: intRowTo<2>(db, dst, src, count, channels, channelCount, fill); break;
	case 3: intRowTo<3>(db, dst, src, count, channels, channelCount, fill); break;
	default: intRowTo<4>(db, dst, src, count, channels, channelCount, fill); break;
	}
}

inline uint8_t floatToByte(float v)
{
	if (!(v >= 0.f)) // negative or NaN
		return 0;
	if (v > 1.f)
		return 255;
	return static_cast<uint8_t>(v * 255.f);
}

void checkType(int type)
{
	if (type < 0 || type >= SF::SURFACE_LAST)
		lang::throwError(GraphicsException(lang::Format("Invalid surface format {0}", type)));
}

void fail(const char* what, const SurfaceFormat& fmt)
{
	lang::throwError(GraphicsException(lang::Format("{0} surface format {1} in pixel conversion", what, fmt.toString())));
}

// Converts a rectangle of tightly packed A8B8G8R8 pixels (a decoder's
// output) into the destination.
void copyDecoded(const SurfaceFormat& dstFormat, uint8_t* dst, int dstPitch, const SurfaceFormat& dstPalFormat,
	const void* dstPal, const uint8_t* decoded, int width, int height)
{
	const SurfaceFormat abgr(SF::SURFACE_A8B8G8R8);
	for (int y = 0; y < height; ++y)
		dstFormat.copyPixels(dst + ptrdiff_t(y) * dstPitch, dstPalFormat, dstPal, abgr, decoded + size_t(y) * width * 4,
			SurfaceFormat(), nullptr, width);
}
}

SurfaceFormat::SurfaceFormat(SurfaceFormatType type) : m_type(type)
{
	checkType(type);
}

int SurfaceFormat::bitsPerPixel() const
{
	return int(FORMATDESC[m_type][0]);
}

bool SurfaceFormat::hasAlpha() const
{
	switch (m_type)
	{
	case SURFACE_DXT1:
	case SURFACE_DXT3:
	case SURFACE_DXT5:
	case SURFACE_RGBA_PVRTC_GL_2BPP:
	case SURFACE_RGBA_PVRTC_GL_4BPP:
		return true;
	default:
		return FORMATDESC[m_type][4] != 0;
	}
}

bool SurfaceFormat::compressed() const
{
	return isCompressed(m_type);
}

bool SurfaceFormat::palettized() const
{
	return isPalette(m_type);
}

const char* SurfaceFormat::toString() const
{
	return FORMAT_NAMES[m_type];
}

int SurfaceFormat::getMemoryUsage(int width, int height) const
{
	if (width < 0 || height < 0)
		lang::throwError(GraphicsException(lang::Format("Invalid surface size {0}x{1} in format {2}", width, height, toString())));
	const long long w = width, h = height;
	long long bytes;
	switch (m_type)
	{
	case SURFACE_DXT1:
		bytes = ((w + 3) / 4) * ((h + 3) / 4) * 8;
		break;
	case SURFACE_DXT3:
	case SURFACE_DXT5:
		bytes = ((w + 3) / 4) * ((h + 3) / 4) * 16;
		break;
	case SURFACE_RGB_PVRTC_GL_2BPP:
	case SURFACE_RGBA_PVRTC_GL_2BPP:
		bytes = std::max(w, 16LL) * std::max(h, 8LL) * 2 / 8;
		break;
	case SURFACE_RGB_PVRTC_GL_4BPP:
	case SURFACE_RGBA_PVRTC_GL_4BPP:
		bytes = std::max(w, 8LL) * std::max(h, 8LL) * 4 / 8;
		break;
	case SURFACE_ETC1_RGB_4BPP:
		bytes = ((w + 3) / 4) * ((h + 3) / 4) * 8;
		break;
	default:
		// Rows are stored one after another, each starting on a byte: an odd-width 4-bit
		// row keeps its last pixel and the next row does not begin in its spare half.
		bytes = h * ((w * bitsPerPixel() + 7) / 8);
		break;
	}
	if (bytes > MAX_SURFACE_BYTES)
		lang::throwError(GraphicsException(lang::Format("Surface of {0}x{1} pixels in format {2} is too large", width, height, toString())));
	return static_cast<int>(bytes);
}

void SurfaceFormat::copyPixels(void* dstv, const SurfaceFormat& dstPalFormat, const void* dstPal,
	const SurfaceFormat& srcFormat, const void* srcv, const SurfaceFormat& srcPalFormat, const void* srcPal,
	int count) const
{
	if (compressed())
		fail("Compressed destination", *this);
	if (srcFormat.compressed())
		fail("Compressed source", srcFormat);
	if (srcFormat.type() == SURFACE_UNKNOWN)
		fail("Unknown source", srcFormat);
	if (count <= 0)
		return;

	uint8_t* dst = static_cast<uint8_t*>(dstv);
	const uint8_t* src = static_cast<const uint8_t*>(srcv);
	if (m_type == srcFormat.type())
	{
		std::memcpy(dst, src, (size_t(count) * bitsPerPixel() + 7) / 8);
		return;
	}
	if (isDepth(srcFormat.type()))
		fail("Unsupported source", srcFormat);
	if (m_type == SURFACE_UNKNOWN || isDepth(m_type))
		fail("Unsupported destination", *this);

	const bool srcPalette = srcFormat.palettized(), dstPalette = palettized();
	if ((srcPalette && (srcPalFormat.palettized() || srcPalFormat.compressed() || !srcPal || srcPalFormat.type() == SURFACE_UNKNOWN ||
			isFloat(srcPalFormat.type()) || isDepth(srcPalFormat.type()))))
		fail("Unsupported source palette", srcPalFormat);
	if ((dstPalette && (dstPalFormat.palettized() || dstPalFormat.compressed() || !dstPal || dstPalFormat.type() == SURFACE_UNKNOWN ||
			isFloat(dstPalFormat.type()) || isDepth(dstPalFormat.type()))))
		fail("Unsupported destination palette", dstPalFormat);

	const Layout s(srcPalette ? srcPalFormat.type() : srcFormat.type());
	const Layout d(dstPalette ? dstPalFormat.type() : m_type);
	const uint8_t* srcPalBytes = static_cast<const uint8_t*>(srcPal);
	const int srcPalSize = srcFormat.type() == SURFACE_P4 ? 16 : 256;
	const int srcStep = srcFormat.bitsPerPixel() / 8, dstStep = bitsPerPixel() / 8;
	const bool floatPath = s.hdr || d.hdr;

	// Destination palette entries as 8-bit channels, for the nearest-colour search.
	const int dstPalSize = m_type == SURFACE_P4 ? 16 : 256;
	std::vector<uint8_t> palette;
	if (dstPalette)
	{
		palette.resize(dstPalSize * 4);
		const uint8_t* pal = static_cast<const uint8_t*>(dstPal);
		for (int i = 0; i < dstPalSize; ++i)
			unpackInt(d, readInt(pal + i * d.bytes, d.bytes), &palette[i * 4]);
	}

	// A destination channel the integer source lacks is filled with ones.
	uint32_t fill = d.outside;
	for (int c = 0; c < 4; ++c)
		if (!s.hdr && s.bits[c] == 0)
			fill |= d.mask[c];

	if (!srcPalette && !dstPalette && !floatPath)
	{
		IntChannel channels[4];
		int n = 0;
		for (int c = 0; c < 4; ++c)
		{
			if (!d.bits[c] || !s.bits[c])
				continue;
			IntChannel& ch = channels[n++];
			ch.srcMask = s.mask[c];
			ch.srcShift = s.shift[c];
			ch.widen = WIDEN.v[s.bits[c]];
			ch.narrow = 8 - d.bits[c];
			ch.dstShift = d.shift[c];
			ch.dstMask = d.mask[c];
		}
		intRowAny(s.bytes, d.bytes, dst, src, count, channels, n, fill);
		return;
	}

	for (int i = 0; i < count; ++i)
	{
		// Read one source pixel as bytes or floats.
		uint8_t c8[4];
		float f[4];
		if (s.hdr)
			readFloat(s, src, f);
		else
		{
			uint32_t v;
			if (srcPalette)
			{
				int index = srcFormat.type() == SURFACE_P4 ? ((i & 1) ? (src[0] & 15) : (src[0] >> 4)) : src[0];
				index &= srcPalSize - 1;
				v = readInt(srcPalBytes + index * s.bytes, s.bytes);
			}
			else
				v = readInt(src, s.bytes);
			unpackInt(s, v, c8);
			if (floatPath)
				for (int c = 0; c < 4; ++c)
					f[c] = s.bits[c] ? c8[c] * (1.f / 255.f) : 1.f;
		}

		if (d.hdr)
			writeFloat(d, dst, f);
		else
		{
			if (s.hdr)
				for (int c = 0; c < 4; ++c)
					c8[c] = floatToByte(f[c]);
			if (dstPalette)
			{
				uint8_t want[4];
				for (int c = 0; c < 4; ++c)
					want[c] = (!s.hdr && s.bits[c] == 0) ? 255 : c8[c];
				int best = 0;
				long bestDist = -1;
				for (int k = 0; k < dstPalSize; ++k)
				{
					long dist = 0;
					for (int c = 0; c < 4; ++c)
					{
						const long diff = long(palette[k * 4 + c]) - want[c];
						dist += diff * diff;
					}
					if (bestDist < 0 || dist < bestDist)
					{
						best = k;
						bestDist = dist;
						if (dist == 0)
							break;
					}
				}
				if (m_type == SURFACE_P8)
					dst[0] = uint8_t(best);
				else if (i & 1)
					dst[0] = uint8_t((dst[0] & 0xF0) | best);
				else
					dst[0] = uint8_t((dst[0] & 0x0F) | (best << 4));
			}
			else
			{
				uint32_t out = s.hdr ? d.outside : fill;
				for (int c = 0; c < 4; ++c)
					if (d.bits[c] && (s.hdr || s.bits[c]))
						out |= (uint32_t(c8[c] >> (8 - d.bits[c])) << d.shift[c]) & d.mask[c];
				writeInt(dst, d.bytes, out);
			}
		}

		// Advance; 4-bit indices move to the next byte after the low half.
		if (srcFormat.type() == SURFACE_P4)
			src += (i & 1);
		else
			src += srcStep;
		if (m_type == SURFACE_P4)
			dst += (i & 1);
		else
			dst += dstStep;
	}
}

void SurfaceFormat::copyPixels(void* dstv, int dstPitch, const SurfaceFormat& dstPalFormat, const void* dstPal,
	const SurfaceFormat& srcFormat, const void* srcv, int srcPitch, const SurfaceFormat& srcPalFormat, const void* srcPal,
	int width, int height) const
{
	if (compressed())
		fail("Compressed destination", *this);
	if (srcFormat.compressed() && bitsPerPixel() < 8)
		fail("Sub-byte destination", *this);
	if (width < 0 || height < 0)
		lang::throwError(GraphicsException(lang::Format("Invalid rectangle size {0}x{1} in pixel conversion", width, height)));
	if (width == 0 || height == 0)
		return;

	uint8_t* dst = static_cast<uint8_t*>(dstv);
	const uint8_t* src = static_cast<const uint8_t*>(srcv);
	const SurfaceFormatType st = srcFormat.type();
	if (st == SURFACE_ETC1_RGB_4BPP || (st >= SURFACE_RGB_PVRTC_GL_2BPP && st <= SURFACE_RGBA_PVRTC_GL_4BPP))
	{
		// The decoders write tightly packed red-green-blue-alpha bytes:
		// straight into a destination of that layout, else through a buffer
		// that is then converted row by row.
		const bool direct = m_type == SURFACE_A8B8G8R8 && dstPitch == width * 4;
		std::vector<uint8_t> buffer;
		uint8_t* out = dst;
		if (!direct)
		{
			buffer.resize(SurfaceFormat(SURFACE_A8B8G8R8).getMemoryUsage(width, height));
			out = buffer.data();
		}
		if (st == SURFACE_ETC1_RGB_4BPP)
			decompressETC(src, unsigned(width), unsigned(height), out, 0);
		else
			decompressPVRTC(src, st <= SURFACE_RGBA_PVRTC_GL_2BPP ? 1 : 0, width, height, out);
		if (!direct)
			copyDecoded(*this, dst, dstPitch, dstPalFormat, dstPal, out, width, height);
		return;
	}
	if (st == SURFACE_DXT1 || st == SURFACE_DXT3 || st == SURFACE_DXT5)
	{
		// Decode one row of blocks into four rows of A8R8G8B8, then convert them.
		const int version = st == SURFACE_DXT1 ? 1 : (st == SURFACE_DXT3 ? 3 : 5);
		const int blockBytes = version == 1 ? 8 : 16;
		const int blocksX = (width + 3) / 4;
		const SurfaceFormat argb(SURFACE_A8R8G8B8);
		std::vector<uint32_t> rows(size_t(blocksX) * 16);
		uint32_t block[16];
		for (int by = 0; by * 4 < height; ++by)
		{
			const uint8_t* in = src + ptrdiff_t(by) * srcPitch;
			for (int bx = 0; bx < blocksX; ++bx)
			{
				decodeDXTBlock(version, in + size_t(bx) * blockBytes, block);
				for (int y = 0; y < 4; ++y)
					std::memcpy(&rows[size_t(y) * blocksX * 4 + bx * 4], block + y * 4, 16);
			}
			for (int y = 0; y < 4 && by * 4 + y < height; ++y)
				copyPixels(dst + ptrdiff_t(by * 4 + y) * dstPitch, dstPalFormat, dstPal, argb, &rows[size_t(y) * blocksX * 4],
					SurfaceFormat(), nullptr, width);
		}
		return;
	}
	for (int y = 0; y < height; ++y)
		copyPixels(dst + ptrdiff_t(y) * dstPitch, dstPalFormat, dstPal, srcFormat, src + ptrdiff_t(y) * srcPitch, srcPalFormat, srcPal, width);
}
}
