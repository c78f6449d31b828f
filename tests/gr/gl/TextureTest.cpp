#include "ContextFixture.h"
#include "GLRecorder.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <lang/Exception.h>
#include <cstring>

using namespace gr::GR_GL_NS;
using gltest::GLRecorder;
using F = GL_Functions;
using SF = gr::SurfaceFormat;

namespace
{
class GLT(Texture) : public gltest::ContextFixture
{
protected:
	lang::Ptr<GL_Texture> make(int w, int h, int mips, SF::SurfaceFormatType format = SF::SURFACE_A8B8G8R8, int usage = 0)
	{
		return new GL_Texture(m_context, w, h, mips, format, usage);
	}

	// Pixels of a render target, top row first (0xAABBGGRR), read through its frame buffer.
	std::vector<uint32_t> readTarget(GL_Texture& t)
	{
		GLint previous = 0;
		gl.GetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
		gl.BindFramebuffer(GL_FRAMEBUFFER, t.frameBuffer());
		const std::vector<uint8_t> bytes = GL_capturePixels(0, 0, t.width(), t.height());
		gl.BindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
		std::vector<uint32_t> out(bytes.size() / 4);
		std::memcpy(out.data(), bytes.data(), bytes.size());
		return out;
	}

	template <class Fn> std::string messageOf(Fn fn)
	{
		try
		{
			fn();
		}
		catch (const lang::Exception& e)
		{
			return e.getMessage().format();
		}
		return "(no exception)";
	}
};
}

TEST_F(GLT(Texture), MipChainAndMinifyingFilter)
{
	const struct
	{
		int w, h, mips;
		GLint minFilter;
	} cases[] = {
		{1, 1, 0, GL_LINEAR_MIPMAP_NEAREST}, // a 1 x 1 level is already the whole chain
		{256, 64, 8, GL_LINEAR_MIPMAP_NEAREST},
		{256, 64, 4, GL_LINEAR},
		{64, 64, 0, GL_LINEAR},
	};
	for (const auto& c : cases)
	{
		GLRecorder rec;
		lang::Ptr<GL_Texture> t = make(c.w, c.h, c.mips);
		EXPECT_EQ(c.minFilter, GLRecorder::lastTexParameter(GL_TEXTURE_MIN_FILTER)) << c.w << "x" << c.h << " mips " << c.mips;
		EXPECT_EQ(GL_LINEAR, GLRecorder::lastTexParameter(GL_TEXTURE_MAG_FILTER));
		ASSERT_EQ(size_t(c.mips + 1), GLRecorder::texImages.size());
		const GLRecorder::TexImage& last = GLRecorder::texImages.back();
		EXPECT_EQ(std::max(c.w >> c.mips, 1), last.width);
		EXPECT_EQ(std::max(c.h >> c.mips, 1), last.height);
	}
	GLRecorder rec;
	lang::Ptr<GL_Texture> chain = make(256, 64, 8);
	EXPECT_EQ(1, GLRecorder::texImages[7].height); // 2 x 1
	EXPECT_EQ(2, GLRecorder::texImages[7].width);
	// Every level takes an upload of its own size.
	std::vector<uint32_t> pixels(256 * 64, 0xFF808080u);
	for (int level = 0; level <= 8; ++level)
	{
		const int w = std::max(256 >> level, 1), h = std::max(64 >> level, 1);
		chain->blt(0, 0, pixels.data(), w * 4, level, w, h, SF::SURFACE_A8B8G8R8);
	}
	EXPECT_EQ(0, GL_State::sm_current.m_bindedTexture[0]) << "a plain texture is unbound after creation";
}

TEST_F(GLT(Texture), NonPowerOfTwoSizes)
{
	GL_setExtensionsOverride("GL_OES_rgb8_rgba8");
	{
		GLRecorder rec;
		make(100, 60, 0);
		EXPECT_EQ(GL_CLAMP_TO_EDGE, GLRecorder::lastTexParameter(GL_TEXTURE_WRAP_S));
		EXPECT_EQ(GL_CLAMP_TO_EDGE, GLRecorder::lastTexParameter(GL_TEXTURE_WRAP_T));
	}
	EXPECT_EQ("Mipmapping is not supported with non power-of-two textures", messageOf([&] { make(100, 60, 1); }));

	GL_setExtensionsOverride("GL_OES_rgb8_rgba8 GL_OES_texture_npot");
	GLRecorder rec;
	make(100, 60, 0);
	make(100, 60, 1);
	EXPECT_EQ(-1, GLRecorder::lastTexParameter(GL_TEXTURE_WRAP_S)) << "wrapping stays GL_REPEAT";
}

TEST_F(GLT(Texture), BadRequestsThrow)
{
	EXPECT_EQ("Texture is too large: 20000x4, maximum supported size: 16384x16384", messageOf([&] { make(20000, 4, 0); }));
	{
		GL_CallCounter calls;
		EXPECT_EQ("Unsupported texture format: DXT5", messageOf([&] { make(64, 64, 0, SF::SURFACE_DXT5); }));
		EXPECT_EQ(1, calls.count(F::INDEX_DeleteTextures)) << "a failed texture leaves no GL object behind";
		EXPECT_EQ(0u, GL_State::sm_current.m_bindedTexture[0]);
	}
	EXPECT_EQ("Unsupported texture format: R5G5B5", messageOf([&] { make(64, 64, 0, SF::SURFACE_R5G5B5); }));

	lang::Ptr<GL_Texture> t = make(4, 4, 0);
	EXPECT_EQ("Only LOCK_READ is supported when locking texture", messageOf([&] { t->lock(gr::ContextObject::LOCK_WRITE); }));
	t->lock(gr::ContextObject::LOCK_READ);
	EXPECT_EQ(3, int(t->locked()));
	t->unlock();
	EXPECT_EQ("Texture readback is not supported by OpenGL ES", messageOf([&] { void* d; int p; t->getData(&d, &p); }));
}

TEST_F(GLT(Texture), RenderTargetsStartMagentaAndKeepTheBoundFrameBuffer)
{
	const struct { int usage; bool target; } cases[] = {{0x08, true}, {0x10, true}, {0x18, true}, {0x02, false}};
	for (const auto& c : cases)
	{
		lang::Ptr<GL_Texture> t = make(64, 64, 0, SF::SURFACE_A8B8G8R8, c.usage);
		EXPECT_EQ(c.target, t->frameBuffer() != 0) << c.usage;
		EXPECT_EQ(c.target, t->depthBuffer() != 0) << c.usage;
	}

	GLint before = 0;
	gl.GetIntegerv(GL_FRAMEBUFFER_BINDING, &before);
	ASSERT_NE(0, before);
	lang::Ptr<GL_Texture> t = make(64, 64, 0, SF::SURFACE_A8B8G8R8, 0x08);
	GLint after = 0;
	gl.GetIntegerv(GL_FRAMEBUFFER_BINDING, &after);
	EXPECT_EQ(before, after);
	EXPECT_FALSE(GL_State::sm_current.m_depthMask);
	const uint32_t magenta = GR_GL_VERSION == 1 ? 0xFFFF00FFu : 0x00FF00FFu;
	for (uint32_t px : readTarget(*t))
		ASSERT_EQ(magenta, px);
}

TEST_F(GLT(Texture), RenderTargetIsWhollyMagentaUnderAClipRectangle)
{
	// 2-D drawing leaves the scissor test on with the last clip rectangle.
	m_context->setClipRect(gr::Rect(0, 0, 8, 8));
	lang::Ptr<GL_Texture> t = make(64, 64, 0, SF::SURFACE_A8B8G8R8, 0x08);
	const uint32_t magenta = GR_GL_VERSION == 1 ? 0xFFFF00FFu : 0x00FF00FFu;
	for (uint32_t px : readTarget(*t))
		ASSERT_EQ(magenta, px);
	// The clipping stays in force for what is drawn next.
	EXPECT_TRUE(GL_State::isEnabled(GL_SCISSOR_TEST));
	EXPECT_EQ(GL_TRUE, gl.IsEnabled(GL_SCISSOR_TEST));
}

TEST_F(GLT(Texture), BltWithWidePitchUploadsPackedRows)
{
	lang::Ptr<GL_Texture> t = make(4, 4, 0, SF::SURFACE_A8B8G8R8, 0x08);
	// Two rows of four pixels, 32 bytes apart: the second half of each row is padding.
	uint32_t data[16];
	for (int i = 0; i < 16; ++i)
		data[i] = 0xFF000000u | uint32_t(i + 1);
	t->blt(0, 1, data, 32, 0, 4, 2, SF::SURFACE_A8B8G8R8);
	const std::vector<uint32_t> px = readTarget(*t);
	// Texture row 1 and 2 (GL rows count from the bottom; the capture puts GL row 0 last).
	for (int x = 0; x < 4; ++x)
	{
		EXPECT_EQ(data[x], px[(4 - 1 - 1) * 4 + x]) << x;
		EXPECT_EQ(data[8 + x], px[(4 - 1 - 2) * 4 + x]) << x;
	}
}

TEST_F(GLT(Texture), CompressedBltHonoursPosition)
{
	GL_setExtensionsOverride("GL_OES_compressed_ETC1_RGB8_texture");
	lang::Ptr<GL_Texture> t = make(8, 8, 0, SF::SURFACE_ETC1_RGB_4BPP);
	const uint8_t block[8] = {};
	GLRecorder rec;
	t->blt(4, 4, block, 8, 0, 4, 4, SF::SURFACE_ETC1_RGB_4BPP);
	ASSERT_EQ(2u, GLRecorder::compressed.size());
	EXPECT_FALSE(GLRecorder::compressed[0].sub); // the level gets its whole size first
	EXPECT_EQ(8, GLRecorder::compressed[0].width);
	EXPECT_EQ(32, GLRecorder::compressed[0].bytes);
	EXPECT_TRUE(GLRecorder::compressed[1].sub);
	EXPECT_EQ(4, GLRecorder::compressed[1].x);
	EXPECT_EQ(4, GLRecorder::compressed[1].y);
	EXPECT_EQ(8, GLRecorder::compressed[1].bytes);

	GLRecorder::compressed.clear();
	const uint8_t level[32] = {};
	t->blt(0, 0, level, 16, 0, 8, 8, SF::SURFACE_ETC1_RGB_4BPP);
	t->blt(0, 4, block, 8, 0, 4, 4, SF::SURFACE_ETC1_RGB_4BPP);
	ASSERT_EQ(2u, GLRecorder::compressed.size());
	EXPECT_FALSE(GLRecorder::compressed[0].sub);
	EXPECT_TRUE(GLRecorder::compressed[1].sub) << "a level with storage takes the part as it is";
}

TEST_F(GLT(Texture), ShadowCopiesRebuildTheTextureAfterHibernation)
{
	m_context->setTextureShadowingEnabled(true);
	m_context->statistics().reset();
	lang::Ptr<GL_Texture> t = static_cast<GL_Texture*>(m_context->createTexture(4, 4, 0, SF::SURFACE_A8R8G8B8, 0x08));
	EXPECT_EQ(SF::SURFACE_A8B8G8R8, t->format().type()) << "the device's own order";
	EXPECT_EQ(1, m_context->statistics().textures);
	EXPECT_EQ(64, m_context->statistics().textureBytes);
	uint32_t red[16], green[4];
	for (uint32_t& p : red)
		p = 0xFF0000FFu;
	for (uint32_t& p : green)
		p = 0xFF00FF00u;
	uint32_t padded[8] = {};
	std::memcpy(padded, green, 8);
	std::memcpy(padded + 4, green + 2, 8);
	t->blt(0, 0, red, 16, 0, 4, 4, SF::SURFACE_A8B8G8R8);
	t->blt(1, 1, padded, 16, 0, 2, 2, SF::SURFACE_A8B8G8R8); // rows of 8 bytes, 16 apart
	ASSERT_EQ(2u, t->shadowCopies().size());
	EXPECT_EQ(16u, t->shadowCopies()[1]->bytes.size());
	EXPECT_EQ(0, std::memcmp(t->shadowCopies()[1]->bytes.data(), green, 16)) << "the copy holds packed rows";
	const std::vector<uint32_t> before = readTarget(*t);

	m_context->hibernateContext();
	EXPECT_EQ(0u, t->textureName());
	EXPECT_EQ(0u, t->frameBuffer());
	m_context->resumeContext();
	ASSERT_NE(0u, t->textureName());
	EXPECT_EQ(before, readTarget(*t));
	EXPECT_EQ(0xFF00FF00u, before[1 * 4 + 1]);
	EXPECT_EQ(0xFF0000FFu, before[0]);
	EXPECT_EQ(2u, t->shadowCopies().size());

	// A released texture leaves the context's list: hibernating again touches nothing of it.
	t = nullptr;
	m_context->hibernateContext();
	m_context->resumeContext();
}

TEST_F(GLT(Texture), ReleasingAHibernatedTextureDeletesNothing)
{
	lang::Ptr<GL_Texture> t = make(4, 4, 0, SF::SURFACE_A8B8G8R8, 0x08);
	t->deallocate();
	GL_CallCounter calls;
	t = nullptr;
	EXPECT_EQ(1, calls.count(F::INDEX_Finish));
	EXPECT_EQ(0, calls.count(F::INDEX_DeleteTextures));
	EXPECT_EQ(0, calls.count(F::INDEX_DeleteFramebuffers));
	EXPECT_EQ(0, calls.count(F::INDEX_DeleteRenderbuffers));
}

TEST_F(GLT(Texture), DeletingUnbindsEveryUnit)
{
	lang::Ptr<GL_Texture> a = make(4, 4, 0);
	GL_State::activeTexture(GL_TEXTURE3);
	GL_State::bindTexture(a->textureName());
	a = nullptr;
	for (int unit = 0; unit < 8; ++unit)
		EXPECT_EQ(0u, GL_State::sm_current.m_bindedTexture[unit]) << unit;
	EXPECT_EQ(GLenum(GL_TEXTURE0), GL_State::sm_current.m_activeTexture);
}
