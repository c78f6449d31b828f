#include <support/GoldenImage.h>
#include <png.h>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace support
{
uint32_t RGBAImage::at(int x, int y) const
{
	// A test asking outside the frame has a wrong expectation, not a pixel to read.
	if (x < 0 || y < 0 || x >= width || y >= height)
		throw std::out_of_range("pixel " + std::to_string(x) + ", " + std::to_string(y) + " is outside the " +
			std::to_string(width) + "x" + std::to_string(height) + " frame");
	const uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
	return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

RGBAImage readPng(const std::string& path)
{
	png_image img = {};
	img.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&img, path.c_str()))
		throw std::runtime_error("cannot read " + path);
	img.format = PNG_FORMAT_RGBA;
	RGBAImage out;
	out.width = int(img.width);
	out.height = int(img.height);
	out.pixels.resize(PNG_IMAGE_SIZE(img));
	if (!png_image_finish_read(&img, nullptr, out.pixels.data(), 0, nullptr))
		throw std::runtime_error("cannot decode " + path);
	return out;
}

void writePng(const std::string& path, const RGBAImage& image)
{
	png_image img = {};
	img.version = PNG_IMAGE_VERSION;
	img.width = png_uint_32(image.width);
	img.height = png_uint_32(image.height);
	img.format = PNG_FORMAT_RGBA;
	if (!png_image_write_to_file(&img, path.c_str(), 0, image.pixels.data(), 0, nullptr))
		throw std::runtime_error("cannot write " + path);
}

::testing::AssertionResult matchesGolden(const std::string& name, const RGBAImage& frame, int tolerance,
	const std::string& actualSuffix)
{
	const std::string path = std::string(ENGINE_SOURCE_DIR) + "/tests/data/" + name + ".png";
	const char* write = std::getenv("ENGINE_WRITE_GOLDENS");
	if (write && std::string(write) == "1")
	{
		writePng(path, frame);
		return ::testing::AssertionSuccess() << "wrote " << path;
	}
	RGBAImage ref;
	try
	{
		ref = readPng(path);
	}
	catch (const std::exception& e)
	{
		return ::testing::AssertionFailure() << e.what();
	}
	if (ref.width != frame.width || ref.height != frame.height)
		return ::testing::AssertionFailure() << name << ": size " << frame.width << "x" << frame.height
											 << ", reference " << ref.width << "x" << ref.height;
	int bad = 0;
	std::string first;
	for (size_t i = 0; i < ref.pixels.size(); ++i)
	{
		if (std::abs(int(ref.pixels[i]) - int(frame.pixels[i])) > tolerance)
		{
			if (bad++ == 0)
			{
				const size_t px = i / 4;
				char buf[160];
				std::snprintf(buf, sizeof buf, "first at (%d, %d) channel %d: %d, reference %d",
					int(px % size_t(ref.width)), int(px / size_t(ref.width)), int(i % 4), frame.pixels[i], ref.pixels[i]);
				first = buf;
			}
		}
	}
	if (bad)
	{
		const std::string base = name.substr(name.find_last_of('/') + 1);
		writePng(std::string(ENGINE_BINARY_DIR) + "/" + base + actualSuffix + "-actual.png", frame);
		return ::testing::AssertionFailure() << name << ": " << bad << " channels off by more than " << tolerance << ", " << first;
	}
	return ::testing::AssertionSuccess();
}
}
