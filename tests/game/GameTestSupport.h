#ifndef TESTS_GAME_GAMETESTSUPPORT_H
#define TESTS_GAME_GAMETESTSUPPORT_H

#include "../io/TempDir.h"
#include <gr/Context.h>
#include <io/detail/paths.h>
#include <lang/Throwable.h>
#include <qf3d/ContentWriter.h>
#include <gtest/gtest.h>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace gametest
{
/** One image draw as the recording context saw it. */
struct Draw
{
	std::string image;
	float x, y, w, h;
	math::float2 uv[4];
	/** Corner draws: the four corners; pivot of the render state at the time. */
	bool corners;
	math::float3 p[4];
	math::float2 pivot;
};

/**
 * A context that draws nothing: images are made from "image files" holding their
 * width and height as text, and every image draw is recorded.
 */
class RecordingContext : public gr::Context
{
public:
	std::vector<Draw> draws;
	gr::RenderState2D state;

	gr::Shader* createShader(const std::string&, int) override { return nullptr; }
	gr::Texture* createTexture(const std::string&) override { return nullptr; }
	gr::Texture* createTexture(int, int, int, const gr::SurfaceFormat&, int) override { return nullptr; }
	gr::BaseTexture* createCubeTexture(const std::string&) override { return nullptr; }
	gr::Image* createImage(io::InputStream& in, const std::string& name) override;
	gr::Image* createImage(int, int, int, const gr::SurfaceFormat&, UsageFlags) override { return nullptr; }
	gr::Primitive* createPrimitive(gr::Primitive::PrimType, const gr::VertexFormat&, int, int, UsageFlags) override { return nullptr; }
	gr::Primitive* getDynamicPrimitive(gr::Primitive::PrimType, const gr::VertexFormat&, int, int) override { return nullptr; }
	void begin2D() override {}
	void end2D() override {}
	void drawLine2D(unsigned int, int, int, int, int, int) override {}
	void drawLine2D(unsigned int, int*, int, int) override {}
	void drawCircle2D(unsigned int, int, int, int, int) override {}
	void fillTriangle2D(unsigned int, int, int, int, int, int, int) override {}
	void fillRect2D(unsigned int, int, int, int, int) override {}
	void fillCircle2D(unsigned int, int, int, int) override {}
	void texturizeTriangle2D(gr::Image*, const math::float4&, int, int, int, int, int, int) override {}
	void texturizeRect2D(gr::Image*, const math::float4&, int, int, int, int) override {}
	void texturizeCircle2D(gr::Image*, const math::float4&, int, int, int) override {}
	gr::RenderState2D& getRenderState2D() override { return state; }
	const gr::Rect& viewport() const override { return m_view; }
	gr::SurfaceFormat surfaceFormat() const override { return gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8); }
	int width() const override { return 0; }
	int height() const override { return 0; }
	float time() const override { return 0.f; }
	const math::float3x4& customModelTransform() const override { return m_model; }
	bool customModelTransformEnabled() const override { return false; }
	const math::float4x4& projectionTransform() const override { return m_proj; }
	const math::float2& getFovScaleBias() const override { return m_fov; }
	PlatformType platform() const override { return PLATFORM_GLES2; }
	OrientationType orientation() const override { return ORIENTATION_PORTRAIT; }
	bool ready() const override { return true; }
	const std::string& shaderPath() const override { return m_path; }
	void setRenderState2D(const gr::RenderState2D& s) override { state = s; }
	void setViewport(const gr::Rect& r) override { m_view = r; }
	void setClipRect(const gr::Rect&) override {}
	void setRenderTarget(gr::Texture*) override {}
	void setWireframeEnabled(bool) override {}
	void setOrientation(OrientationType) override {}
	void setFovScaleBias(const math::float2&) override {}
	void setCustomModelTransform(const math::float3x4&) override {}
	void setCustomModelTransformEnabled(bool) override {}
	void setPerspectiveProjection(float, float, float, float) override {}
	void setOrthographicProjection() override {}
	void setProjection(const math::float4x4&) override {}
	void setTime(float) override {}
	void setShaderPath(const std::string&) override {}
	void reset(int, int) override {}
	void beginScene() override {}
	void endScene() override {}
	void reloadShaders() override {}
	void present() override {}
	void clear(unsigned int, bool, bool, bool) override {}
	void capture(const std::string&) override {}
	void capture(io::OutputStream&, io::FileFormat) override {}
	void capture(gr::Image*) override {}
	void flipWindingOrder() override {}
	void flush() override {}

private:
	gr::Rect m_view;
	math::float3x4 m_model;
	math::float4x4 m_proj;
	math::float2 m_fov;
	std::string m_path;
};

/** A temporary bundle root for content files written by the test. */
class Bundle
{
public:
	Bundle() { io::detail::setBundlePath(m_dir.path()); }
	~Bundle() { io::detail::setBundlePath("."); }
	void write(const std::string& name, const qf3d::Bytes& bytes) const { qf3d::writeFile(m_dir / name, bytes); }
	void write(const std::string& name, const std::string& text) const { writeFile(m_dir / name, text); }
	/** An image file the recording context understands. */
	void image(const std::string& name, int width, int height) const
	{
		write(name, std::to_string(width) + " " + std::to_string(height));
	}
	const std::string& path() const { return m_dir.path(); }

private:
	TempDir m_dir;
};

struct NamedLayout
{
	const char* name;
	qf3d::Layout layout;
};
/** The layouts a reader reads alike: tagged, untagged, and tagged after an unknown chunk. */
std::vector<NamedLayout> readableLayouts();

/** A 16-bit mono 22050 Hz PCM WAV file of that many samples. */
std::string wavFile(int samples);

/** The message of an engine exception thrown by f, or "" when none is thrown. */
std::string thrownMessage(const std::function<void()>& f);
}

#endif
