#include "ImageFixtures.h"
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <zlib.h>

namespace imgfix
{
void put8(Bytes& b, uint32_t v)
{
	b.push_back(static_cast<uint8_t>(v));
}

void put16(Bytes& b, uint32_t v)
{
	put8(b, v);
	put8(b, v >> 8);
}

void put32(Bytes& b, uint32_t v)
{
	put16(b, v);
	put16(b, v >> 16);
}

void append(Bytes& b, const Bytes& more)
{
	b.insert(b.end(), more.begin(), more.end());
}

Bytes makeBmp(const Bmp& bmp)
{
	Bytes info;
	put32(info, bmp.headerLength);
	if (bmp.headerLength == 12)
	{
		put16(info, static_cast<uint32_t>(bmp.width));
		put16(info, static_cast<uint32_t>(bmp.height));
		put16(info, static_cast<uint32_t>(bmp.planes));
		put16(info, static_cast<uint32_t>(bmp.bitCount));
	}
	else
	{
		put32(info, static_cast<uint32_t>(bmp.width));
		put32(info, static_cast<uint32_t>(bmp.height));
		put16(info, static_cast<uint32_t>(bmp.planes));
		put16(info, static_cast<uint32_t>(bmp.bitCount));
		put32(info, bmp.compression);
		put32(info, static_cast<uint32_t>(bmp.pixels.size()));
		put32(info, 2835);
		put32(info, 2835);
		put32(info, bmp.colorsUsed);
		put32(info, 0);
	}
	while (info.size() < bmp.headerLength)
		put8(info, 0);

	const uint32_t natural = static_cast<uint32_t>(14 + info.size() + bmp.palette.size());
	const uint32_t offset = bmp.dataOffset < 0 ? natural : static_cast<uint32_t>(bmp.dataOffset);
	Bytes out;
	put16(out, bmp.magic);
	put32(out, static_cast<uint32_t>(offset + bmp.pixels.size()));
	put32(out, 0);
	put32(out, offset);
	append(out, info);
	append(out, bmp.palette);
	while (out.size() < offset)
		put8(out, 0);
	append(out, bmp.pixels);
	return out;
}

Bytes makeTga(const Tga& tga)
{
	Bytes out;
	put8(out, static_cast<uint32_t>(tga.id.size()));
	put8(out, static_cast<uint32_t>(tga.colorMapType));
	put8(out, static_cast<uint32_t>(tga.imageType));
	put16(out, static_cast<uint32_t>(tga.colorMapFirst));
	put16(out, static_cast<uint32_t>(tga.colorMapLength));
	put8(out, static_cast<uint32_t>(tga.colorMapEntryBits));
	put16(out, 0);
	put16(out, 0);
	put16(out, static_cast<uint32_t>(tga.width));
	put16(out, static_cast<uint32_t>(tga.height));
	put8(out, static_cast<uint32_t>(tga.depth));
	put8(out, static_cast<uint32_t>(tga.descriptor));
	append(out, tga.id);
	append(out, tga.colorMap);
	append(out, tga.pixels);
	return out;
}

Bytes tgaRun(int count, const Bytes& pixel)
{
	if (count < 1 || count > 128)
		throw std::invalid_argument("tgaRun count");
	Bytes out;
	put8(out, static_cast<uint32_t>(0x80 | (count - 1)));
	append(out, pixel);
	return out;
}

Bytes tgaRaw(const Bytes& pixels, int pixelBytes)
{
	const int count = static_cast<int>(pixels.size()) / pixelBytes;
	if (count < 1 || count > 128)
		throw std::invalid_argument("tgaRaw count");
	Bytes out;
	put8(out, static_cast<uint32_t>(count - 1));
	append(out, pixels);
	return out;
}

Bytes tgaEncodeRows(const Bytes& pixels, int w, int h, int pixelBytes)
{
	Bytes out;
	const size_t b = static_cast<size_t>(pixelBytes);
	for (int y = 0; y < h; ++y)
	{
		const uint8_t* row = pixels.data() + static_cast<size_t>(y) * w * b;
		auto same = [&](int i, int j) { return std::equal(row + i * b, row + (i + 1) * b, row + j * b); };
		int x = 0;
		while (x < w)
		{
			int run = 1;
			while (x + run < w && run < 128 && same(x, x + run))
				++run;
			if (run >= 2)
			{
				append(out, tgaRun(run, Bytes(row + x * b, row + (x + 1) * b)));
				x += run;
				continue;
			}
			int raw = 1;
			while (x + raw < w && raw < 128 && !(x + raw + 1 < w && same(x + raw, x + raw + 1)))
				++raw;
			append(out, tgaRaw(Bytes(row + x * b, row + (x + raw) * b), pixelBytes));
			x += raw;
		}
	}
	return out;
}

Bytes makePvr2(const Pvr2& pvr)
{
	Bytes out;
	put32(out, pvr.headerLength);
	put32(out, pvr.height);
	put32(out, pvr.width);
	put32(out, pvr.mipCount);
	put32(out, pvr.flags);
	put32(out, static_cast<uint32_t>(pvr.data.size()));
	put32(out, pvr.bitCount);
	for (int i = 0; i < 4; ++i)
		put32(out, 0); // channel masks
	put32(out, 0x21525650); // "PVR!"
	put32(out, pvr.surfaces);
	append(out, pvr.extraHeader);
	append(out, pvr.data);
	return out;
}

Bytes makePvr3(const Pvr3& pvr)
{
	Bytes out;
	put32(out, 0x03525650);
	put32(out, pvr.flags);
	put32(out, pvr.formatLower);
	put32(out, pvr.formatUpper);
	put32(out, pvr.colourSpace);
	put32(out, pvr.channelType);
	put32(out, pvr.height);
	put32(out, pvr.width);
	put32(out, pvr.depth);
	put32(out, pvr.members);
	put32(out, pvr.faces);
	put32(out, pvr.mipCount);
	put32(out, static_cast<uint32_t>(pvr.metadata.size()));
	append(out, pvr.metadata);
	append(out, pvr.data);
	return out;
}

Bytes dxt1Block(uint16_t c0, uint16_t c1, uint32_t indices)
{
	Bytes out;
	put16(out, c0);
	put16(out, c1);
	put32(out, indices);
	return out;
}

Bytes etc1Block(int r1, int g1, int b1, int r2, int g2, int b2, int table1, int table2, bool flip, int m)
{
	Bytes out;
	put8(out, static_cast<uint32_t>((r1 << 4) | r2));
	put8(out, static_cast<uint32_t>((g1 << 4) | g2));
	put8(out, static_cast<uint32_t>((b1 << 4) | b2));
	put8(out, static_cast<uint32_t>((table1 << 5) | (table2 << 2) | (flip ? 1 : 0)));
	// Pixel index bits: high bits of all 16 pixels, then low bits.
	const uint32_t msb = (m & 2) ? 0xFFFF : 0;
	const uint32_t lsb = (m & 1) ? 0xFFFF : 0;
	put8(out, msb >> 8);
	put8(out, msb);
	put8(out, lsb >> 8);
	put8(out, lsb);
	return out;
}

Bytes pvrtcOpaqueBlock(int r5, int g5, int b5)
{
	Bytes out;
	put32(out, 0); // modulation: every pixel takes colour A
	const uint32_t colourA = 0x8000u | (static_cast<uint32_t>(r5) << 10) | (static_cast<uint32_t>(g5) << 5) | (static_cast<uint32_t>(b5 >> 1) << 1);
	const uint32_t colourB = 0x8000u | (static_cast<uint32_t>(r5) << 10) | (static_cast<uint32_t>(g5) << 5) | static_cast<uint32_t>(b5);
	put32(out, colourA | (colourB << 16));
	return out;
}

Bytes repeat(const Bytes& b, int count)
{
	Bytes out;
	for (int i = 0; i < count; ++i)
		append(out, b);
	return out;
}

Bytes rgbaPattern(int w, int h)
{
	Bytes out(static_cast<size_t>(w) * h * 4);
	uint32_t noise = 12345;
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x)
		{
			noise = noise * 1103515245u + 12345u;
			uint8_t* p = &out[(static_cast<size_t>(y) * w + x) * 4];
			p[0] = static_cast<uint8_t>(x * 255 / (w > 1 ? w - 1 : 1));
			p[1] = static_cast<uint8_t>(y * 255 / (h > 1 ? h - 1 : 1));
			p[2] = static_cast<uint8_t>(((x / 16 + y / 16) & 1) ? 200 : 40);
			p[3] = static_cast<uint8_t>(128 + ((noise >> 16) & 63));
		}
	return out;
}

uint32_t crc32(const uint8_t* p, size_t n)
{
	uint32_t c = 0xFFFFFFFFu;
	for (size_t i = 0; i < n; ++i)
	{
		c ^= p[i];
		for (int k = 0; k < 8; ++k)
			c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
	}
	return ~c;
}

namespace
{
void putBE32(Bytes& b, uint32_t v)
{
	for (int s = 24; s >= 0; s -= 8)
		b.push_back(static_cast<uint8_t>(v >> s));
}
}

Bytes pngChunk(const char* type, const Bytes& data)
{
	Bytes body(type, type + 4);
	append(body, data);
	Bytes chunk;
	putBE32(chunk, static_cast<uint32_t>(data.size()));
	append(chunk, body);
	putBE32(chunk, crc32(body.data(), body.size()));
	return chunk;
}

Bytes pngChunkDeclaring(const char* type, uint32_t declared, const Bytes& data)
{
	Bytes chunk;
	putBE32(chunk, declared);
	chunk.insert(chunk.end(), type, type + 4);
	append(chunk, data);
	return chunk;
}

Bytes makePng(const Png& png)
{
	static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
	const size_t rowBytes = (size_t(png.width) * size_t(channels[png.colorType]) * size_t(png.bitDepth) + 7) / 8;
	Bytes raw;
	raw.reserve((rowBytes + 1) * png.height);
	for (uint32_t y = 0; y < png.height; ++y)
	{
		raw.push_back(0);
		raw.insert(raw.end(), png.rows.begin() + ptrdiff_t(y * rowBytes), png.rows.begin() + ptrdiff_t((y + 1) * rowBytes));
	}
	uLongf packedSize = compressBound(uLong(raw.size()));
	Bytes packed(packedSize);
	compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9);
	packed.resize(packedSize);

	Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
	Bytes ihdr;
	putBE32(ihdr, png.width);
	putBE32(ihdr, png.height);
	ihdr.insert(ihdr.end(), {uint8_t(png.bitDepth), uint8_t(png.colorType), 0, 0, 0});
	append(out, pngChunk("IHDR", ihdr));
	append(out, png.extraChunks);
	if (!png.palette.empty())
		append(out, pngChunk("PLTE", png.palette));
	append(out, pngChunk("IDAT", packed));
	append(out, pngChunk("IEND", Bytes()));
	return out;
}

Bytes readFile(const std::string& path)
{
	FILE* f = std::fopen(path.c_str(), "rb");
	if (!f)
		throw std::runtime_error("cannot open " + path);
	Bytes out;
	uint8_t buf[4096];
	size_t n;
	while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
		out.insert(out.end(), buf, buf + n);
	std::fclose(f);
	return out;
}

void writeFile(const std::string& path, const Bytes& data)
{
	FILE* f = std::fopen(path.c_str(), "wb");
	if (!f)
		throw std::runtime_error("cannot create " + path);
	std::fwrite(data.data(), 1, data.size(), f);
	std::fclose(f);
}
}
