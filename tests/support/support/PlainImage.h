#ifndef TESTS_SUPPORT_PLAINIMAGE_H
#define TESTS_SUPPORT_PLAINIMAGE_H

#include <gr/Image.h>
#include <gr/SurfaceFormat.h>

namespace support
{
// An image that keeps only its size and format.
struct PlainImage : gr::Image
{
	int w = 0;
	int h = 0;
	gr::SurfaceFormat fmt;

	PlainImage() = default;
	PlainImage(int width, int height, const gr::SurfaceFormat& format) : w(width), h(height), fmt(format) {}

	void draw(gr::Context*, float, float, int, int, int, int, float, float) override {}
	void draw(gr::Context*, float, float, float, float, const math::float2*) override {}
	void draw(gr::Context*, const math::float3*, const math::float2*, gr::Shader*) override {}
	void draw(gr::Context*, const math::float3*, const math::float2*, const math::float4*, gr::Shader*) override {}
	void blt(int, int, const void*, int, int, int, int, const gr::SurfaceFormat&) override {}
	void clear() override {}
	int width() const override { return w; }
	int height() const override { return h; }
	gr::SurfaceFormat format() const override { return fmt; }
	void getData(void**, int*) const override {}
};
}

#endif
