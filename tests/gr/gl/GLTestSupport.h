#ifndef GR_GL_TESTS_GLTESTSUPPORT_H
#define GR_GL_TESTS_GLTESTSUPPORT_H

#include <gr/gl/EGLHeadlessView.h>
#include <gr/gl/GL_Functions.h>
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
};

struct RGBAImage
{
	int width = 0;
	int height = 0;
	std::vector<uint8_t> pixels; // top row first
	uint32_t at(int x, int y) const; // 0xAABBGGRR as stored
};

/**
 * Compares an RGBA frame with tests/data/gl/<name>.png: every channel of every pixel may
 * differ by at most `tolerance`. With ENGINE_WRITE_GOLDENS=1 in the environment the
 * reference is written instead (for a new or deliberately changed picture).
 */
::testing::AssertionResult matchesGolden(const std::string& name, const RGBAImage& frame, int tolerance = 2);

RGBAImage readPng(const std::string& path);
void writePng(const std::string& path, const RGBAImage& image);
}

#endif
