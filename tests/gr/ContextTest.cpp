#include <gr/Context.h>
#include <gr/GraphicsException.h>
#include <lang/throwError.h>
#include <io/IOException.h>
#include <support/RecordingContext.h>
#include <support/ScopedRoots.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using gr::Context;
using gr::ContextObject;
using support::PlainImage;
using support::RecordingContext;

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
	support::ScopedBundleRoot root(dir);
	lang::Ptr<RecordingContext> context = new RecordingContext;
	lang::Ptr<gr::Image> image = context->createImagefromBundle("/pic.png");
	ASSERT_TRUE(image);
	ASSERT_EQ(1u, context->log.size());
	EXPECT_EQ("image /pic.png PIXELS", context->log[0]);
	EXPECT_THROW(context->createImagefromBundle("missing.png"), io::IOException);
}
