// Damaged files: every fixture with random bytes changed or cut short must
// either decode or throw an engine exception, never crash or overrun.
#include "ImgTestUtil.h"
#include <lang/Exception.h>
#include <cstdint>
#include <random>
#include <cstdlib>

using namespace imgtest;

namespace
{
int fuzzRounds() { const char* e = getenv("FUZZ_ROUNDS"); return e ? atoi(e) : 150; }
struct Sample
{
	std::string name;
	io::FileFormat format;
	Bytes bytes;
};

std::vector<Sample> samples()
{
	std::vector<Sample> out;
	const struct
	{
		const char* file;
		io::FileFormat format;
	} files[] = {
		{"a.jpg", io::FILEFORMAT_JPG}, {"a_progressive.jpg", io::FILEFORMAT_JPG},
		{"a_rgb.png", io::FILEFORMAT_PNG}, {"a_rgba.png", io::FILEFORMAT_PNG}, {"a_interlaced.png", io::FILEFORMAT_PNG},
		{"a_pal8_trns.png", io::FILEFORMAT_PNG}, {"d_pal2_trns.png", io::FILEFORMAT_PNG}, {"c_greyalpha.png", io::FILEFORMAT_PNG},
		{"a_core24.bmp", io::FILEFORMAT_BMP}, {"a_pal8.bmp", io::FILEFORMAT_BMP}, {"a_rgb24.bmp", io::FILEFORMAT_BMP},
		{"b_pal4.bmp", io::FILEFORMAT_BMP}, {"a_pal8.tga", io::FILEFORMAT_TGA}, {"a_rgb24.tga", io::FILEFORMAT_TGA},
		{"a_rgba32_rle.tga", io::FILEFORMAT_TGA}, {"c_grey8.tga", io::FILEFORMAT_TGA},
	};
	for (const auto& f : files)
		out.push_back({f.file, f.format, imgfix::readFile(fixturePath(f.file))});

	// PVR textures of each kind of data, with mip chains.
	imgfix::Pvr3 dxt;
	dxt.formatLower = 7;
	dxt.width = dxt.height = 8;
	dxt.mipCount = 4;
	dxt.data = imgfix::repeat(imgfix::dxt1Block(0xF800, 0x001F, 0x1B1B1B1B), 4 + 1 + 1 + 1);
	out.push_back({"dxt1.pvr", io::FILEFORMAT_PVR, imgfix::makePvr3(dxt)});

	imgfix::Pvr3 etc;
	etc.formatLower = 6;
	etc.width = 8;
	etc.height = 4;
	etc.mipCount = 2;
	etc.data = imgfix::repeat(imgfix::etc1Block(15, 0, 0, 0, 15, 0, 1, 2, false, 1), 2 + 1);
	out.push_back({"etc1.pvr", io::FILEFORMAT_PVR, imgfix::makePvr3(etc)});

	imgfix::Pvr2 pvrtc;
	pvrtc.flags = 0x19 | 0x8000;
	pvrtc.width = pvrtc.height = 8;
	pvrtc.mipCount = 1;
	pvrtc.data = imgfix::repeat(imgfix::pvrtcOpaqueBlock(31, 10, 0), 4 + 4);
	out.push_back({"pvrtc4.pvr", io::FILEFORMAT_PVR, imgfix::makePvr2(pvrtc)});

	imgfix::Pvr2 pvrtc2;
	pvrtc2.flags = 0x18;
	pvrtc2.width = 16;
	pvrtc2.height = 8;
	pvrtc2.data = imgfix::repeat(imgfix::pvrtcOpaqueBlock(0, 31, 31), 4);
	out.push_back({"pvrtc2.pvr", io::FILEFORMAT_PVR, imgfix::makePvr2(pvrtc2)});

	imgfix::Pvr3 raw;
	raw.formatLower = 0x00626772; // r g b, 8 bits each
	raw.formatUpper = 0x00080808;
	raw.width = 3;
	raw.height = 2;
	raw.mipCount = 2;
	raw.faces = 6;
	raw.data = Bytes((18 + 3) * 6, 0x5A);
	out.push_back({"cube.pvr", io::FILEFORMAT_PVR, imgfix::makePvr3(raw)});
	return out;
}

// Reads every surface the way the context does, into a buffer of exactly
// the size the reader announced. Returns false when the size is beyond
// what a caller would allocate.
bool readAll(img::ImageReader& r, SF dst, int pitchPadding)
{
	const int levels = r.mipLevels();
	for (int level = 0; level < levels; ++level)
	{
		const int w = r.surfaceWidth(), h = r.surfaceHeight();
		if (static_cast<int64_t>(w) * h > (1 << 22))
			return false;
		SF fmt = dst;
		if (fmt.type() == SF::SURFACE_UNKNOWN || (r.format().compressed() && fmt.bitsPerPixel() < 8))
			fmt = r.format();
		const int pitch = fmt.compressed() ? 0 : fmt.getMemoryUsage(w, 1) + pitchPadding;
		Bytes out(fmt.compressed() ? static_cast<size_t>(fmt.getMemoryUsage(w, h)) : static_cast<size_t>(pitch) * h);
		// Palette destinations get a grey ramp to search.
		uint8_t palette[256 * 4];
		for (int i = 0; i < 256 * 4; ++i)
			palette[i] = static_cast<uint8_t>(i / 4);
		r.readSurface(out.data(), pitch, w, h, fmt, palette, SF(SF::SURFACE_X8B8G8R8));
	}
	return true;
}
}

TEST(DamagedFiles, DecodeOrThrowEngineExceptions)
{
	std::mt19937 random(20261210);
	const SF targets[] = {SF(), SF(SF::SURFACE_A8B8G8R8), SF(SF::SURFACE_R5G6B5), SF(SF::SURFACE_P8), SF(SF::SURFACE_A32B32G32R32F)};
	int decoded = 0, refused = 0;
	for (const Sample& s : samples())
	{
		// The undamaged file reads in every target format.
		for (const SF& t : targets)
		{
			lang::Ptr<img::ImageReader> r = open(s.bytes, s.format, s.name);
			EXPECT_TRUE(readAll(*r, t, 3)) << s.name;
		}

		for (int round = 0; round < fuzzRounds(); ++round)
		{
			Bytes bytes = s.bytes;
			const int kind = round % 3;
			if (kind == 2)
			{
				bytes.resize(random() % bytes.size());
			}
			else
			{
				// Headers are where sizes live: half the damage lands in the first 64 bytes.
				const size_t span = kind == 0 ? std::min<size_t>(bytes.size(), 64) : bytes.size();
				const int flips = 1 + random() % 4;
				for (int i = 0; i < flips; ++i)
				{
					const size_t at = random() % span;
					bytes[at] = (random() % 4 == 0) ? static_cast<uint8_t>(0xFF) : static_cast<uint8_t>(random());
				}
			}
			const SF target = targets[random() % (sizeof(targets) / sizeof(targets[0]))];
			try
			{
				lang::Ptr<img::ImageReader> r = open(bytes, s.format, s.name);
				readAll(*r, target, round % 2);
				++decoded;
			}
			catch (const lang::Exception&)
			{
				++refused;
			}
		}
	}
	// Both outcomes happen, so the damage reaches past the first checks.
	EXPECT_GT(decoded, 100);
	EXPECT_GT(refused, 100);
}

