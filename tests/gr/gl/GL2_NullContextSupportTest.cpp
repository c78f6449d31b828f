#include <support/NullGLContext.h>
#include <gr/Image.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>
#include <gtest/gtest.h>

TEST(gles2_NullGLContext, MakesResourcesAndDrawsWithoutADriverAndPutsEverythingBack)
{
	const std::string before = io::detail::bundlePath();
	{
		support::NullGLContext null(32, 16);
		gr::Context* context = null.context();
		ASSERT_TRUE(context);
		EXPECT_EQ(32, context->width());
		context->clear(0xFF000000, true, true, false);
		context->fillRect2D(0xFFFF0000, 0, 0, 8, 8);
		lang::Ptr<gr::Image> image = context->createImage(4, 4, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8B8G8R8), gr::Context::USAGE_NONE);
		image->draw(context, 0.f, 0.f, 0, 0, 4, 4, 4.f, 4.f);
		context->present();
		lang::Ptr<gr::Image> shot = context->capture(nullptr);
		EXPECT_EQ(16, shot->height());
	}
	EXPECT_EQ(before, io::detail::bundlePath());
}
