#ifndef GR_GL_TESTS_GLTESTSUPPORT_H
#define GR_GL_TESTS_GLTESTSUPPORT_H

#include <gr/Context.h>
#include <gr/gl/EGLHeadlessView.h>
#include <lang/Ptr.h>
#include <gr/gl/GL_Functions.h>
#include <support/GoldenImage.h>
#include <support/ScopedRoots.h>
#include <gtest/gtest.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Suite names carry the back end, so both test programs can live in one CTest run.
#define GLT_CAT2(A, B) A##_##B
#define GLT_CAT(A, B) GLT_CAT2(A, B)
#define GLT(NAME) GLT_CAT(GR_GL_NS, NAME)

namespace gltest
{
/** A headless view of the back end under test with its function table loaded. */
class GLFixture : public ::testing::Test
{
protected:
	static constexpr int WIDTH = 64;
	static constexpr int HEIGHT = 48;

	void SetUp() override;
	void TearDown() override;

	std::unique_ptr<gr::gl::EGLHeadlessView> m_view;
	std::unique_ptr<support::ScopedBundleRoot> m_bundle;
};

/**
 * Opens a headless view of the back end under test in view and makes a portrait 2-D context
 * of width x height over the bundle folder dir, which is linked to the game's 2-D shaders.
 */
lang::Ptr<gr::Context> createGameContext(lang::Ptr<gr::gl::EGLHeadlessView>& view, const std::string& dir, int width, int height);

using support::RGBAImage;
using support::readPng;
using support::writePng;

/** Compares an RGBA frame with tests/data/gl/<name>.png; see support::matchesGolden. */
inline ::testing::AssertionResult matchesGolden(const std::string& name, const RGBAImage& frame, int tolerance = 2)
{
	return support::matchesGolden("gl/" + name, frame, tolerance, GR_GL_VERSION == 1 ? "-gles1" : "-gles2");
}
}

#endif
