#ifndef IMG_TESTS_IMAGEFIXTURES_H
#define IMG_TESTS_IMAGEFIXTURES_H

// Builds image files byte by byte for what ImageMagick does not write:
// unusual headers, run-length packets across rows, 16-bit pixels, odd
// colour-map entry sizes, and PVR textures around hand-made blocks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace imgfix
{
typedef std::vector<uint8_t> Bytes;

void put8(Bytes& b, uint32_t v);
void put16(Bytes& b, uint32_t v);
void put32(Bytes& b, uint32_t v);
void append(Bytes& b, const Bytes& more);

struct Bmp
{
	uint32_t headerLength = 40; // 12, 40 or 64 (anything for corrupt files)
	int width = 1;
	int height = 1;
	int bitCount = 24;
	int planes = 1;
	uint32_t compression = 0;
	uint32_t colorsUsed = 0;
	Bytes palette;            // entries as stored (3 or 4 bytes each)
	Bytes pixels;             // rows as stored: bottom row first, padded to 4 bytes
	int64_t dataOffset = -1;  // -1: right after the palette
	uint16_t magic = 0x4D42;
};
Bytes makeBmp(const Bmp& bmp);

struct Tga
{
	Bytes id;
	int colorMapType = 0;
	int imageType = 2;
	int colorMapFirst = 0;
	int colorMapLength = 0;
	int colorMapEntryBits = 0;
	Bytes colorMap;
	int width = 1;
	int height = 1;
	int depth = 24;
	int descriptor = 0;
	Bytes pixels;             // as stored (raw rows or run-length packets)
};
Bytes makeTga(const Tga& tga);
/** A run-length packet repeating one pixel count times (1..128). */
Bytes tgaRun(int count, const Bytes& pixel);
/** A raw packet of pixels (1..128 of them, pixelBytes each). */
Bytes tgaRaw(const Bytes& pixels, int pixelBytes);
/** Run-length packets for w x h pixels of pixelBytes each, row by row (no packet crosses a row). */
Bytes tgaEncodeRows(const Bytes& pixels, int w, int h, int pixelBytes);

struct Pvr2
{
	uint32_t headerLength = 52;
	uint32_t width = 1;
	uint32_t height = 1;
	uint32_t mipCount = 0;    // levels below the top one
	uint32_t flags = 0;
	uint32_t bitCount = 0;
	uint32_t surfaces = 1;
	Bytes extraHeader;        // bytes after the 52-byte header (for longer headers)
	Bytes data;
};
Bytes makePvr2(const Pvr2& pvr);

struct Pvr3
{
	uint32_t flags = 0;
	uint32_t formatLower = 0;
	uint32_t formatUpper = 0;
	uint32_t colourSpace = 0;
	uint32_t channelType = 0;
	uint32_t width = 1;
	uint32_t height = 1;
	uint32_t depth = 1;
	uint32_t members = 1;
	uint32_t faces = 1;
	uint32_t mipCount = 1;    // levels including the top one
	Bytes metadata;
	Bytes data;
};
Bytes makePvr3(const Pvr3& pvr);

/** A DXT1 block: two r5g6b5 colours, then one index byte per row. */
Bytes dxt1Block(uint16_t c0, uint16_t c1, uint32_t indices);
/** An ETC1 block in individual mode: 4-bit colours per half, table rows, and all pixels on modifier index m. */
Bytes etc1Block(int r1, int g1, int b1, int r2, int g2, int b2, int table1, int table2, bool flip, int m);
/** A PVRTC block (4 bpp layout) whose two colours are the same opaque 5-5-5 colour, all modulation 0. */
Bytes pvrtcOpaqueBlock(int r5, int g5, int b5);
/** Count copies of a byte string. */
Bytes repeat(const Bytes& b, int count);

/** CRC-32 as PNG and zip use it. */
uint32_t crc32(const uint8_t* p, size_t n);
/** A PNG chunk: big-endian length, type, data, CRC. */
Bytes pngChunk(const char* type, const Bytes& data);
/** A chunk header claiming `declared` bytes of data, followed by only the bytes given (no CRC). */
Bytes pngChunkDeclaring(const char* type, uint32_t declared, const Bytes& data);

struct Png
{
	uint32_t width = 1;
	uint32_t height = 1;
	int bitDepth = 8;
	int colorType = 2;        // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
	Bytes palette;            // PLTE data (3 bytes per entry), palette images only
	Bytes rows;               // unfiltered rows as stored (packed bits, big-endian samples)
	Bytes extraChunks;        // whole chunks placed before IDAT
};
/** Signature, IHDR, the extra chunks, PLTE, one zlib-compressed IDAT (filter 0 rows) and IEND. */
Bytes makePng(const Png& png);

/** A w x h pattern of 4-byte pixels R, G, B, A with smooth gradients and some detail. */
Bytes rgbaPattern(int w, int h);

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& data);
}

#endif
