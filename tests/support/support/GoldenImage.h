#ifndef TESTS_SUPPORT_GOLDENIMAGE_H
#define TESTS_SUPPORT_GOLDENIMAGE_H

#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>

namespace support
{
struct RGBAImage
{
	int width = 0;
	int height = 0;
	std::vector<uint8_t> pixels; // top row first
	uint32_t at(int x, int y) const; // 0xAABBGGRR as stored
};

RGBAImage readPng(const std::string& path);
void writePng(const std::string& path, const RGBAImage& image);

/**
 * Compares an RGBA frame with tests/data/<name>.png: every channel of every pixel may
 * differ by at most `tolerance`. With ENGINE_WRITE_GOLDENS=1 in the environment the
 * reference is written instead (for a new or deliberately changed picture). A mismatch
 * leaves the frame in the build folder as <base name><actualSuffix>-actual.png.
 */
::testing::AssertionResult matchesGolden(const std::string& name, const RGBAImage& frame, int tolerance = 2,
	const std::string& actualSuffix = std::string());
}

#endif
