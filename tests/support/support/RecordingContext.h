#ifndef TESTS_SUPPORT_RECORDINGCONTEXT_H
#define TESTS_SUPPORT_RECORDINGCONTEXT_H

#include <gr/Context.h>
#include <gr/GraphicsException.h>
#include <gr/Image.h>
#include <support/PlainImage.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <string>
#include <vector>

namespace support
{
// A test double of gr::Context that draws nothing and records scenes and the images it is asked to make.
class RecordingContext : public gr::Context
{
public:
	std::vector<std::string> log;
	gr::RenderState2D state;
	gr::Rect view;
	math::float3x4 model;
	math::float4x4 proj;
	math::float2 fov;
	std::string path;

	gr::Shader* createShader(const std::string&, int) override { return nullptr; }
	gr::Texture* createTexture(const std::string&) override { return nullptr; }
	gr::Texture* createTexture(int, int, int, const gr::SurfaceFormat&, int) override { return nullptr; }
	gr::BaseTexture* createCubeTexture(const std::string&) override
	{
		lang::throwError(gr::GraphicsException(lang::Format("Cube textures not supported")));
	}
	gr::Image* createImage(io::InputStream& in, const std::string& name) override
	{
		char buf[16] = {};
		const int n = in.read(buf, sizeof(buf) - 1);
		log.push_back("image " + name + " " + std::string(buf, n > 0 ? n : 0));
		return new PlainImage;
	}
	gr::Image* createImage(int width, int height, int, const gr::SurfaceFormat& format, UsageFlags) override
	{
		return new PlainImage(width, height, format);
	}
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
	const gr::Rect& viewport() const override { return view; }
	gr::SurfaceFormat surfaceFormat() const override { return gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8); }
	int width() const override { return 0; }
	int height() const override { return 0; }
	float time() const override { return 0.f; }
	const math::float3x4& customModelTransform() const override { return model; }
	bool customModelTransformEnabled() const override { return false; }
	const math::float4x4& projectionTransform() const override { return proj; }
	const math::float2& getFovScaleBias() const override { return fov; }
	PlatformType platform() const override { return PLATFORM_GLES2; }
	OrientationType orientation() const override { return ORIENTATION_PORTRAIT; }
	bool ready() const override { return true; }
	const std::string& shaderPath() const override { return path; }
	void setRenderState2D(const gr::RenderState2D& s) override { state = s; }
	void setViewport(const gr::Rect& r) override { view = r; }
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
	void beginScene() override { log.push_back("begin"); }
	void endScene() override { log.push_back("end"); }
	void reloadShaders() override {}
	void present() override {}
	void clear(unsigned int, bool, bool, bool) override {}
	void capture(const std::string&) override {}
	void capture(io::OutputStream&, io::FileFormat) override {}
	gr::Image* capture(gr::Image* target) override
	{
		return target ? target : new PlainImage(width(), height(), surfaceFormat());
	}
	void flipWindingOrder() override {}
	void flush() override {}
};

}

#endif
