#include <gr/Context.h>
#include <gr/GraphicsException.h>
#include <lang/throwError.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using gr::Context;
using gr::ContextObject;

namespace
{
// A resource that records its locking.
struct Lockable : gr::ContextObject
{
	std::vector<std::string>* log;
	explicit Lockable(std::vector<std::string>* l) : ContextObject(CLASSID_TEXTURE), log(l) {}
	void lock(LockType type) override { log->push_back("lock " + std::to_string(int(type))); }
	void unlock() override { log->push_back("unlock"); }
};

struct PlainObject : gr::ContextObject
{
	PlainObject() : ContextObject(CLASSID_PRIMITIVE) {}
};

struct PlainImage : gr::Image
{
	void draw(Context*, float, float, int, int, int, int, float, float) override {}
	void draw(Context*, float, float, float, float, const math::float2*) override {}
	void draw(Context*, const math::float3*, const math::float2*, gr::Shader*) override {}
	void draw(Context*, const math::float3*, const math::float2*, const math::float4*, gr::Shader*) override {}
	void blt(int, int, const void*, int, int, int, int, const gr::SurfaceFormat&) override {}
	void clear() override {}
	int width() const override { return 0; }
	int height() const override { return 0; }
	gr::SurfaceFormat format() const override { return gr::SurfaceFormat(); }
	void getData(void**, int*) const override {}
};

// A context that draws nothing and records scenes and the images it is asked to make.
class RecordingContext : public Context
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
	gr::Image* capture(gr::Image* target) override { return target; }
	void flipWindingOrder() override {}
	void flush() override {}
};
}

TEST(Rect, ConstructionAndEquality)
{
	EXPECT_EQ(gr::Rect(0, 0, 5, 7), gr::Rect(5, 7));
	EXPECT_EQ(gr::Rect(0, 0, 0, 0), gr::Rect());
	const gr::Rect r(1, 2, 3, 4);
	EXPECT_NE(r, gr::Rect(9, 2, 3, 4));
	EXPECT_NE(r, gr::Rect(1, 9, 3, 4));
	EXPECT_NE(r, gr::Rect(1, 2, 9, 4));
	EXPECT_NE(r, gr::Rect(1, 2, 3, 9));
	gr::Rect s;
	s.setLeft(1);
	s.setTop(2);
	s.setRight(3);
	s.setBottom(4);
	EXPECT_EQ(r, s);
}

TEST(RenderState2D, DefaultsAndReset)
{
	gr::RenderState2D s;
	EXPECT_EQ(gr::Rect(-32000, -32000, 32000, 32000), s.clipRect);
	EXPECT_EQ(1.f, s.rotation[0]);
	EXPECT_EQ(0.f, s.rotation[1]);
	EXPECT_EQ(0.f, s.rotation[2]);
	EXPECT_EQ(1.f, s.rotation[3]);
	EXPECT_EQ(math::float2(0, 0), s.translation);
	EXPECT_EQ(math::float2(1, 1), s.scale);
	EXPECT_EQ(math::float2(0, 0), s.pivot);
	EXPECT_EQ(1.f, s.alphaFactor);
	EXPECT_EQ(1.f, s.colorSaturation);
	EXPECT_EQ(0.f, s.angle);
	EXPECT_FALSE(s.useTransform);
	EXPECT_EQ(1.f, s.worldTransform(0, 0));
	EXPECT_EQ(0.f, s.worldTransform(0, 1));
	EXPECT_EQ(1.f, s.worldTransform(3, 3));
	EXPECT_TRUE(s.userFlag);
	EXPECT_EQ(1, s.userValue0);
	EXPECT_EQ(5, s.userValue1);

	// Copies carry every field; reset restores the defaults.
	s.userOffset = math::float2(3, 4);
	s.userValue1 = 9;
	s.alphaFactor = 0.5f;
	gr::RenderState2D copy = s;
	EXPECT_EQ(math::float2(3, 4), copy.userOffset);
	EXPECT_EQ(9, copy.userValue1);
	copy.reset();
	EXPECT_EQ(math::float2(0, 0), copy.userOffset);
	EXPECT_EQ(5, copy.userValue1);
	EXPECT_EQ(1.f, copy.alphaFactor);
}

TEST(ContextObject, LockingDefaultsAndGuard)
{
	lang::Ptr<PlainObject> plain = new PlainObject;
	EXPECT_EQ(ContextObject::LOCK_READ | ContextObject::LOCK_WRITE, plain->locked());
	plain->lock(ContextObject::LOCK_READ);
	EXPECT_EQ(3, int(plain->locked()));
	EXPECT_EQ(ContextObject::CLASSID_PRIMITIVE, plain->classId());

	std::vector<std::string> log;
	lang::Ptr<Lockable> res = new Lockable(&log);
	{
		ContextObject::Lock lock(res, ContextObject::LOCK_WRITE);
		EXPECT_EQ(2, res->refs());
	}
	EXPECT_EQ(1, res->refs());
	{
		ContextObject::Lock lock(res, ContextObject::LOCK_READ);
		lock.clear();
	}
	const std::vector<std::string> expected = {"lock 2", "unlock", "lock 1"};
	EXPECT_EQ(expected, log);
}

TEST(ContextObjectDeathTest, NullLockStops)
{
	EXPECT_DEATH(ContextObject::Lock(nullptr, ContextObject::LOCK_READ), "obj");
}

TEST(Shader, ParameterNames)
{
	EXPECT_STREQ("NONE", gr::Shader::toString(gr::Shader::PARAM_NONE));
	EXPECT_STREQ("WORLDTM", gr::Shader::toString(gr::Shader::PARAM_WORLDTM));
	EXPECT_STREQ("BONEWORLDTM", gr::Shader::toString(gr::Shader::PARAM_BONEWORLDTM));
	EXPECT_STREQ("TIME", gr::Shader::toString(gr::Shader::PARAM_TIME));
	EXPECT_STREQ("LIGHTP0", gr::Shader::toString(gr::Shader::ParamType(10)));
	EXPECT_STREQ("LIGHTC7", gr::Shader::toString(gr::Shader::ParamType(25)));
	EXPECT_DEATH(gr::Shader::toString(gr::Shader::ParamType(26)), "PARAM_COUNT");
}

TEST(Image, BaseHasNoTexture)
{
	lang::Ptr<PlainImage> image = new PlainImage;
	EXPECT_EQ(nullptr, image->getTexture());
	EXPECT_EQ(ContextObject::CLASSID_IMAGE, image->classId());
}

TEST(Context, StatisticsSceneAndDefaults)
{
	lang::Ptr<RecordingContext> context = new RecordingContext;
	Context::Statistics& stats = context->statistics();
	const int* counters = &stats.unused1;
	for (int i = 0; i < 11; ++i)
		EXPECT_EQ(0, counters[i]);
	stats.textures += 1;
	stats.textureBytes += 16384;
	stats.images = 7;
	stats.reset();
	for (int i = 0; i < 11; ++i)
		EXPECT_EQ(0, counters[i]);
	EXPECT_FALSE(context->isTextureShadowingEnabled());

	{
		Context::RenderScene scene(context);
		EXPECT_EQ(2, context->refs());
	}
	EXPECT_EQ(1, context->refs());
	EXPECT_THROW(context->createCubeTexture("sky"), gr::GraphicsException);
	// The base state-cache operations do nothing.
	context->hibernateContext();
	context->resumeContext();
	context->saveCachedState("a");
	context->restoreCachedState("a");
	context->resetCachedState();
	const std::vector<std::string> expected = {"begin", "end"};
	EXPECT_EQ(expected, context->log);
}

TEST(Context, ImagesFromTheBundle)
{
	const std::string dir = std::string(ENGINE_BINARY_DIR) + "/gr_bundle_test";
	std::remove((dir + "/pic.png").c_str());
	ASSERT_EQ(0, system(("mkdir -p " + dir).c_str()));
	{
		std::ofstream f(dir + "/pic.png", std::ios::binary);
		f << "PIXELS";
	}
	io::detail::setBundlePath(dir);
	lang::Ptr<RecordingContext> context = new RecordingContext;
	lang::Ptr<gr::Image> image = context->createImagefromBundle("/pic.png");
	ASSERT_TRUE(image);
	ASSERT_EQ(1u, context->log.size());
	EXPECT_EQ("image /pic.png PIXELS", context->log[0]);
	EXPECT_THROW(context->createImagefromBundle("missing.png"), io::IOException);
	io::detail::setBundlePath(".");
}
