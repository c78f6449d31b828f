#include "GameFixture.h"
#include <analytics/AnalyticsSession.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lua/LuaException.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>
#include <sys/stat.h>

ScratchDir::ScratchDir()
{
	char tmpl[] = "/tmp/gamecore_test.XXXXXX";
	const char* made = mkdtemp(tmpl);
	m_path = made ? made : "";
}

ScratchDir::~ScratchDir()
{
	std::error_code ignored;
	if (!m_path.empty())
		std::filesystem::remove_all(m_path, ignored);
}

void isolateAnalytics(const std::string& folder)
{
	setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
	setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
	// Whatever host the build names, the game's reports stay on this machine.
	setenv("ENGINE_ANALYTICS_BASE_URL", "http://127.0.0.1:9", 1);
	analytics::AnalyticsSession::resetProcessState();
}

std::vector<analytics::AnalyticsEvent> loggedEvents()
{
	const std::shared_ptr<analytics::AnalyticsSession> session = analytics::AnalyticsSession::currentSession();
	return session ? session->snapshot().eventLog : std::vector<analytics::AnalyticsEvent>();
}

GameTest::GameTest()
{
	io::detail::setBundlePath(TEST_BUNDLE);
	io::detail::setAppdataPath(m_dir.path());
	// The platform services' defaults and state stay in the scratch folder too.
	setenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").c_str(), 1);
	setenv("XDG_STATE_HOME", (m_dir.path() + "/state").c_str(), 1);
}

GameTest::~GameTest()
{
	stop();
	io::detail::setBundlePath(".");
	io::detail::setAppdataPath(".");
}

GameApp* GameTest::start(int width, int height)
{
	stop();
	isolateAnalytics(m_dir.path());
	framework::App::Configuration config;
	framework::configure(config, m_os);
	const bool landscape = width > height;
	m_view = new gr::gl::EGLHeadlessView(2, width, height);
	m_context = gr::gles2::GL_createContext(landscape ? height : width, landscape ? width : height,
		landscape ? gr::Context::ORIENTATION_LANDSCAPE_RIGHT : gr::Context::ORIENTATION_PORTRAIT,
		&gr::gl::EGLHeadlessView::presentCurrent);
	return static_cast<GameApp*>(framework::init(&m_os, m_context));
}

void GameTest::stop()
{
	framework::App::deleteApp();
	if (m_context)
	{
		EXPECT_EQ(1, m_context->references());
	}
	m_context = nullptr;
	m_view = nullptr;
}

GameApp* GameTest::app() const
{
	return static_cast<GameApp*>(framework::App::get());
}

void GameTest::frame(float dt)
{
	app()->update(dt, m_context, 3);
}

void GameTest::run(const std::string& code)
{
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	in.setName("test");
	try
	{
		lua()->getState()->compile(in, "test", lua());
	}
	catch (lua::LuaException& e)
	{
		FAIL() << e.getMessage().format();
	}
}

std::string GameTest::eval(const std::string& expression)
{
	run("__result = _G.tostring(" + expression + ")");
	return lua()->getString("__result");
}

std::vector<unsigned char> GameTest::readBytes(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void GameTest::writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool GameTest::exists(const std::string& path)
{
	struct stat st;
	return ::stat(path.c_str(), &st) == 0;
}
