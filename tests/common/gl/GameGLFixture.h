#ifndef TESTS_COMMON_GL_GAMEGLFIXTURE_H
#define TESTS_COMMON_GL_GAMEGLFIXTURE_H

// The game object alone on a headless context of the back end under test, over a scratch bundle.
#include "GLTestSupport.h"
#include "GameApp.h"
#include "GameLua.h"
#include "NullOSInterface.h"
#include <support/TempDir.h>
#include <game/LuaResources.h>
#include <gr/Context.h>
#include <lua/LuaState.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <string>

class GLT(GameGL) : public ::testing::Test
{
protected:
	static constexpr int WIDTH = 256;
	static constexpr int HEIGHT = 192;

	void SetUp() override;
	void TearDown() override;

	/** Writes content files into the bundle folder. */
	void write(const std::string& name, const qf3d::Bytes& bytes) { qf3d::writeFile(m_dir / name, bytes); }
	/** Makes the game object once the content it needs is in the registry. */
	void startGame();
	/** Runs script text in the game table; a script error fails the test. */
	void run(const std::string& code);
	/** Clears to the game's background colour, runs the drawing code and reads the frame back. */
	gltest::RGBAImage frame(const std::string& drawCode);
	gltest::RGBAImage capture();
	game::Resources& resources() { return *m_res->getResources(); }

	support::TempDir m_dir;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
	lang::Ptr<lua::LuaState> m_state;
	lang::Ptr<game::LuaResources> m_res;
	NullOSInterface m_os;
	/** The game object's owner, without a game of its own. */
	GameApp m_app{GameApp::StandIn(), m_os};
	lang::Ptr<GameLua> m_game;
};

/** 0xAARRGGBB as the frame read back holds it (0xAABBGGRR). */
inline uint32_t captured(uint32_t argb)
{
	return (argb & 0xFF00FF00u) | (argb >> 16 & 0xFF) | (argb & 0xFF) << 16;
}

/** Paints a solid rectangle into a bitmap. */
inline void paint(qf3d::Bitmap& image, int x, int y, int w, int h, uint32_t argb)
{
	for (int j = y; j < y + h; ++j)
		for (int i = x; i < x + w; ++i)
			image.at(i, j) = argb;
}

#endif
