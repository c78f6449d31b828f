// PVR textures of both versions, built around raw, DXT, ETC1 and hand-made PVRTC blocks.
#include "ImgTestUtil.h"
#include <lang/Exception.h>

using namespace imgtest;

namespace
{
const uint32_t RGBA8_LOWER = 0x61626772; // "rgba"
const uint32_t RGBA8_UPPER = 0x08080808;

std::string pvrError(const Bytes& bytes)
{
	return messageOf<lang::Exception>([&] { open(bytes, io::FILEFORMAT_PVR, "bad.pvr"); });
}

// Surface sizes in reading order, as "WxH:bytes".
std::vector<std::string> drain(img::ImageReader& r, int surfaces)
{
	std::vector<std::string> out;
	for (int i = 0; i < surfaces; ++i)
	{
		const std::string size = std::to_string(r.surfaceWidth()) + "x" + std::to_string(r.surfaceHeight());
		out.push_back(size + ":" + std::to_string(readNative(r).size()));
	}
	return out;
}
}

TEST(Pvr, Version3PvrtcMipChainKeepsMinimumBlockSizes)
{
	imgfix::Pvr3 p;
	p.formatLower = 3; // RGBA PVRTC 4 bpp
	p.width = p.height = 256;
	p.mipCount = 9;
	const int sizes[9] = {32768, 8192, 2048, 512, 128, 32, 32, 32, 32};
	for (int s : sizes)
		imgfix::append(p.data, imgfix::repeat(imgfix::pvrtcOpaqueBlock(31, 0, 0), s / 8));
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr3(p), io::FILEFORMAT_PVR);
	EXPECT_EQ(SF::SURFACE_RGBA_PVRTC_GL_4BPP, r->format().type());
	EXPECT_EQ(9, r->mipLevels());
	for (int level = 0; level < 9; ++level)
	{
		EXPECT_EQ(256 >> level, r->surfaceWidth());
		const Bytes px = readNative(*r);
		EXPECT_EQ(static_cast<size_t>(sizes[level]), px.size()) << level;
	}
}

TEST(Pvr, PvrtcDecodesToOpaqueColour)
{
	imgfix::Pvr2 p;
	p.flags = 0x19; // PVRTC 4 bpp without alpha
	p.width = p.height = 8;
	p.data = imgfix::repeat(imgfix::pvrtcOpaqueBlock(31, 31, 0), 4);
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr2(p), io::FILEFORMAT_PVR);
	EXPECT_EQ(SF::SURFACE_RGB_PVRTC_GL_4BPP, r->format().type());
	// Into a 16-bit format with a padded pitch: decoded, then converted row by row.
	Bytes px(8 * 20, 0xCD);
	r->readSurface(px.data(), 20, 8, 8, SF(SF::SURFACE_R5G6B5), nullptr, SF());
	for (int y = 0; y < 8; ++y)
		for (int x = 0; x < 8; ++x)
		{
			EXPECT_EQ(0xE0, px[y * 20 + x * 2]) << x << "," << y; // yellow 0xFFE0
			EXPECT_EQ(0xFF, px[y * 20 + x * 2 + 1]);
		}
	EXPECT_EQ(0xCD, px[16]); // padding untouched
}

TEST(Pvr, Version2PixelTypesAndAlphaFlag)
{
	struct
	{
		uint32_t flags;
		SF::SurfaceFormatType type;
	} cases[] = {
		{0x18, SF::SURFACE_RGB_PVRTC_GL_2BPP},
		{0x8018, SF::SURFACE_RGBA_PVRTC_GL_2BPP},
		{0x19, SF::SURFACE_RGB_PVRTC_GL_4BPP},
		{0x8019, SF::SURFACE_RGBA_PVRTC_GL_4BPP},
		{0x10, SF::SURFACE_R4G4B4A4},
		{0x11, SF::SURFACE_R5G5B5A1},
		{0x12, SF::SURFACE_A8B8G8R8},
		{0x13, SF::SURFACE_R5G6B5},
		{0x15, SF::SURFACE_B8G8R8},
		{0x16, SF::SURFACE_L8},
		{0x17, SF::SURFACE_A8L8},
		{0x1A, SF::SURFACE_A8R8G8B8},
		{0x20, SF::SURFACE_DXT1},
		{0x22, SF::SURFACE_DXT3},
		{0x24, SF::SURFACE_DXT5},
		{0x36, SF::SURFACE_ETC1_RGB_4BPP},
	};
	for (const auto& c : cases)
	{
		imgfix::Pvr2 p;
		p.flags = c.flags;
		p.width = p.height = 8;
		p.data.assign(static_cast<size_t>(SF(c.type).getMemoryUsage(8, 8)), 0);
		lang::Ptr<img::ImageReader> r = open(imgfix::makePvr2(p), io::FILEFORMAT_PVR);
		EXPECT_EQ(c.type, r->format().type()) << std::hex << c.flags;
	}
	imgfix::Pvr2 p;
	p.flags = 0x14;
	EXPECT_EQ("Unsupported surface format 20 while reading PVR texture: bad.pvr", pvrError(imgfix::makePvr2(p)));
}

TEST(Pvr, Version3ChannelLayouts)
{
	struct
	{
		uint32_t lower, upper;
		SF::SurfaceFormatType type;
	} cases[] = {
		{0x61, 0x08, SF::SURFACE_A8},
		{0x6C, 0x08, SF::SURFACE_L8},
		{0x616C, 0x0808, SF::SURFACE_A8L8},
		{0x626772, 0x050605, SF::SURFACE_R5G6B5},
		{0x626772, 0x080808, SF::SURFACE_B8G8R8},
		{0x61626772, 0x01050505, SF::SURFACE_R5G5B5A1},
		{0x61626772, 0x04040404, SF::SURFACE_R4G4B4A4},
		{0x61726762, 0x08080808, SF::SURFACE_A8R8G8B8},
		{0x61626772, 0x08080808, SF::SURFACE_A8B8G8R8},
		{0, 0, SF::SURFACE_RGB_PVRTC_GL_2BPP},
		{1, 0, SF::SURFACE_RGBA_PVRTC_GL_2BPP},
		{2, 0, SF::SURFACE_RGB_PVRTC_GL_4BPP},
		{6, 0, SF::SURFACE_ETC1_RGB_4BPP},
		{7, 0, SF::SURFACE_DXT1},
		{9, 0, SF::SURFACE_DXT3},
		{11, 0, SF::SURFACE_DXT5},
	};
	for (const auto& c : cases)
	{
		imgfix::Pvr3 p;
		p.formatLower = c.lower;
		p.formatUpper = c.upper;
		p.width = p.height = 8;
		p.data.assign(static_cast<size_t>(SF(c.type).getMemoryUsage(8, 8)), 0);
		lang::Ptr<img::ImageReader> r = open(imgfix::makePvr3(p), io::FILEFORMAT_PVR);
		EXPECT_EQ(c.type, r->format().type()) << std::hex << c.lower;
	}

	imgfix::Pvr3 p;
	p.formatLower = 5;
	EXPECT_EQ("Unsupported surface format 0 while reading PVR texture: bad.pvr", pvrError(imgfix::makePvr3(p)));
	p.formatLower = 0x61626762; // "bgba": known bit counts, unknown letters
	p.formatUpper = RGBA8_UPPER;
	EXPECT_EQ("Unsupported surface format 808080861626762 while reading PVR texture: bad.pvr", pvrError(imgfix::makePvr3(p)));
}

TEST(Pvr, CubeMapFacesComeWithAllTheirLevels)
{
	// Version 3 stores level by level; the reader hands out face by face.
	imgfix::Pvr3 p;
	p.formatLower = RGBA8_LOWER;
	p.formatUpper = RGBA8_UPPER;
	p.width = p.height = 2;
	p.faces = 6;
	p.mipCount = 2;
	p.metadata = Bytes(20, 0xAB); // skipped unread
	for (int level = 0; level < 2; ++level)
		for (int face = 0; face < 6; ++face)
			imgfix::append(p.data, Bytes(level == 0 ? 16 : 4, static_cast<uint8_t>(face * 10 + level)));
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr3(p), io::FILEFORMAT_PVR);
	EXPECT_EQ(2, r->mipLevels());
	for (int face = 0; face < 6; ++face)
		for (int level = 0; level < 2; ++level)
		{
			const Bytes px = readNative(*r);
			ASSERT_EQ(level == 0 ? 16u : 4u, px.size());
			EXPECT_EQ(face * 10 + level, px[0]) << face << " " << level;
		}

	// Version 2: face by face in the file too.
	imgfix::Pvr2 q;
	q.flags = 0x1000 | 0x12;
	q.width = q.height = 1;
	q.surfaces = 6;
	for (int face = 0; face < 6; ++face)
		imgfix::append(q.data, Bytes(4, static_cast<uint8_t>(face)));
	r = open(imgfix::makePvr2(q), io::FILEFORMAT_PVR);
	for (int face = 0; face < 6; ++face)
		EXPECT_EQ(face, readNative(*r)[0]);
	q.surfaces = 5;
	q.data.resize(20);
	EXPECT_EQ("Invalid PVR texture layout (5 faces): bad.pvr", pvrError(imgfix::makePvr2(q)));
}

TEST(Pvr, NonSquareChainAndEmptyChain)
{
	imgfix::Pvr2 p;
	p.flags = 0x12;
	p.width = 8;
	p.height = 2;
	p.mipCount = 3;
	p.data.assign((16 + 4 + 2 + 1) * 4, 0);
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr2(p), io::FILEFORMAT_PVR);
	EXPECT_EQ((std::vector<std::string>{"8x2:64", "4x1:16", "2x1:8", "1x1:4"}), drain(*r, 4));

	// No levels: no surfaces at all.
	imgfix::Pvr3 e;
	e.formatLower = RGBA8_LOWER;
	e.formatUpper = RGBA8_UPPER;
	e.mipCount = 0;
	r = open(imgfix::makePvr3(e), io::FILEFORMAT_PVR);
	EXPECT_EQ(0, r->mipLevels());
}

TEST(Pvr, DxtRowsOfBlocksEachHaveTheirOwnColours)
{
	// 8 x 8 DXT1: four blocks, red and green on top, blue and white below.
	imgfix::Pvr3 p;
	p.formatLower = 7;
	p.width = p.height = 8;
	p.data = imgfix::dxt1Block(0xF800, 0, 0);
	imgfix::append(p.data, imgfix::dxt1Block(0x07E0, 0, 0));
	imgfix::append(p.data, imgfix::dxt1Block(0x001F, 0, 0));
	imgfix::append(p.data, imgfix::dxt1Block(0xFFFF, 0, 0));
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr3(p), io::FILEFORMAT_PVR);
	const Bytes px = readRGBA(*r);
	auto at = [&](int x, int y) { return Bytes(px.begin() + (y * 8 + x) * 4, px.begin() + (y * 8 + x) * 4 + 4); };
	EXPECT_EQ((Bytes{255, 0, 0, 255}), at(1, 1));
	EXPECT_EQ((Bytes{0, 255, 0, 255}), at(6, 2));
	EXPECT_EQ((Bytes{0, 0, 255, 255}), at(2, 5));
	EXPECT_EQ((Bytes{255, 255, 255, 255}), at(7, 7));

	// The same data asked for as DXT1 comes out unchanged.
	r = open(imgfix::makePvr3(p), io::FILEFORMAT_PVR);
	EXPECT_EQ(p.data, readNative(*r));
}

TEST(Pvr, Etc1Decodes)
{
	imgfix::Pvr2 p;
	p.flags = 0x36;
	p.width = p.height = 4;
	// Left half 0x8 grey, right half 0xF; modifier index 0 adds 2.
	p.data = imgfix::etc1Block(8, 8, 8, 15, 15, 15, 0, 0, false, 0);
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr2(p), io::FILEFORMAT_PVR);
	const Bytes px = readRGBA(*r);
	EXPECT_EQ((Bytes{138, 138, 138, 255}), Bytes(px.begin(), px.begin() + 4));
	EXPECT_EQ((Bytes{255, 255, 255, 255}), Bytes(px.begin() + 12, px.begin() + 16));
}

TEST(Pvr, BadHeadersNameTheFile)
{
	imgfix::Pvr2 p;
	p.flags = 0x12;
	p.data.assign(4, 0);
	p.headerLength = 44;
	EXPECT_EQ("Invalid PVR header length (44): bad.pvr", pvrError(imgfix::makePvr2(p)));

	// A longer header's extra fields are skipped.
	p.headerLength = 60;
	p.extraHeader.assign(8, 0xEE);
	p.data = {1, 2, 3, 4};
	lang::Ptr<img::ImageReader> r = open(imgfix::makePvr2(p), io::FILEFORMAT_PVR);
	EXPECT_EQ((Bytes{1, 2, 3, 4}), readNative(*r));
	p.headerLength = 52;
	p.extraHeader.clear();

	p.mipCount = 0xFFFFFFFF;
	EXPECT_EQ("Too many mip levels (4294967296) for PVR texture 1x1: bad.pvr", pvrError(imgfix::makePvr2(p)));
	p.mipCount = 1;
	EXPECT_EQ("Too many mip levels (2) for PVR texture 1x1: bad.pvr", pvrError(imgfix::makePvr2(p)));
	p.mipCount = 0;

	p.width = 0;
	EXPECT_EQ("Invalid PVR texture size 0x1: bad.pvr", pvrError(imgfix::makePvr2(p)));
	p.width = 1000000000;
	EXPECT_EQ("Invalid PVR texture size 1000000000x1: bad.pvr", pvrError(imgfix::makePvr2(p)));
	p.width = 1;

	imgfix::Pvr3 v;
	v.formatLower = 2;
	v.width = 12;
	v.height = 8;
	EXPECT_EQ("PVRTC texture size 12x8 is not a power of two: bad.pvr", pvrError(imgfix::makePvr3(v)));
	v.width = 8;
	v.depth = 0;
	EXPECT_EQ("Invalid PVR texture layout (1 faces, 1 surfaces, depth 0): bad.pvr", pvrError(imgfix::makePvr3(v)));
	v.depth = 1;
	v.mipCount = 5;
	EXPECT_EQ("Too many mip levels (5) for PVR texture 8x8: bad.pvr", pvrError(imgfix::makePvr3(v)));
}

TEST(Pvr, ShortFilesFail)
{
	imgfix::Pvr3 p;
	p.formatLower = RGBA8_LOWER;
	p.formatUpper = RGBA8_UPPER;
	p.width = p.height = 4;
	p.metadata.assign(8, 0);
	p.data.assign(64, 7);
	const Bytes whole = imgfix::makePvr3(p);
	for (size_t cut : {size_t(0), size_t(3), size_t(30), size_t(56), whole.size() - 1})
	{
		const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
		const std::string msg = messageOf<io::IOException>([&] { open(part, io::FILEFORMAT_PVR, "short.pvr"); });
		EXPECT_EQ(0u, msg.find("Failed to read ")) << cut << ": " << msg;
		EXPECT_NE(std::string::npos, msg.find("short.pvr")) << msg;
	}
}
