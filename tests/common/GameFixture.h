#ifndef TESTS_COMMON_GAMEFIXTURE_H
#define TESTS_COMMON_GAMEFIXTURE_H

#include "GameApp.h"
#include <analytics/AnalyticsEvent.h>
#include "NullOSInterface.h"
#include <gr/gl/EGLHeadlessView.h>
#include <gtest/gtest.h>
#include <lua/LuaState.h>
#include <string>
#include <vector>

/** A fresh folder under /tmp, removed with everything in it. */
class ScratchDir
{
public:
	ScratchDir();
	~ScratchDir();
	const std::string& path() const { return m_path; }

private:
	std::string m_path;
};

typedef NullOSInterface TestOS;

/** A fresh analytics client whose shared and cache files stay under the folder, reporting to a closed local port. */
void isolateAnalytics(const std::string& folder);
/** The events of the current analytics session. */
std::vector<analytics::AnalyticsEvent> loggedEvents();


/**
 * The game on the test bundle (tests/data/common/bundle, packed at build
 * time) with a scratch documents folder, drawn on a headless GLES 2 context.
 */
class GameTest : public ::testing::Test
{
protected:
	ScratchDir m_dir;
	TestOS m_os;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;

	GameTest();
	~GameTest() override;

	/** Makes the game on a surface of that size (landscape when wider than tall). */
	GameApp* start(int width = 960, int height = 640);
	/** Deletes the game, which saves its files. */
	void stop();
	GameApp* app() const;
	GameLua* lua() const { return app()->gameLua(); }
	void frame(float dt = 1.f / 60.f);

	/** Runs script text in the game table; a script error fails the test. */
	void run(const std::string& code);
	/** The value of a script expression as text through tostring. */
	std::string eval(const std::string& expression);

	std::string userFile(const std::string& name) const { return m_dir.path() + "/" + name; }
public:
	static std::vector<unsigned char> readBytes(const std::string& path);
	static void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
	static bool exists(const std::string& path);
};

#endif
