#include <support/HeadlessGL.h>
#include <gr/Image.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>
#include <gtest/gtest.h>

TEST(gles2_HeadlessGL, GivesAWorkingContextAndPutsTheBundleRootBack)
{
	const std::string before = io::detail::bundlePath();
	{
		support::HeadlessGL gl(32, 16);
		gr::Context* context = gl.context();
		ASSERT_TRUE(context);
		EXPECT_EQ(32, context->width());
		context->clear(0xFF000000, true, true, false);
		context->fillRect2D(0xFFFF0000, 0, 0, 8, 8);
		context->present();
		lang::Ptr<gr::Image> shot = context->capture(nullptr);
		EXPECT_EQ(16, shot->height());
	}
	EXPECT_EQ(before, io::detail::bundlePath());
}
