#include "GameGLFixture.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lua/LuaException.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

void GLT(GameGL)::SetUp()
{
	m_context = gltest::createGameContext(m_view, m_dir.path(), WIDTH, HEIGHT);
	ASSERT_EQ(::mkdir((m_dir / "docs").c_str(), 0700), 0);
	io::detail::setAppdataPath(m_dir / "docs");
	// The platform services keep their defaults and state in the scratch folder.
	for (const char* v : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
		setenv(v, (m_dir / v).c_str(), 1);
	m_state = new lua::LuaState();
	m_res = new game::LuaResources(m_state, m_context);
	m_res->setPath("");
}

void GLT(GameGL)::TearDown()
{
	m_game = nullptr;
	m_res = nullptr;
	m_state = nullptr;
	m_context = nullptr;
	io::detail::setBundlePath(".");
	io::detail::setAppdataPath(".");
	m_view = nullptr;
}

void GLT(GameGL)::startGame()
{
	m_game = new GameLua(&m_app, m_res->getResources(), m_state, m_context);
}

void GLT(GameGL)::run(const std::string& code)
{
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	in.setName("test");
	try
	{
		m_state->compile(in, "test", m_game.ptr());
	}
	catch (lua::LuaException& e)
	{
		FAIL() << e.getMessage().format();
	}
}

gltest::RGBAImage GLT(GameGL)::capture()
{
	m_context->flush();
	gltest::RGBAImage img;
	img.width = WIDTH;
	img.height = HEIGHT;
	img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
	return img;
}

gltest::RGBAImage GLT(GameGL)::frame(const std::string& drawCode)
{
	m_context->clear(0xFF000000u | m_game->getBGColor(), true, true, true);
	run(drawCode);
	return capture();
}
