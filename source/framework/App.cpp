#include <framework/App.h>
#include <framework/OSInterface.h>
#include <lang/assert.h>
#include <algorithm>

namespace framework
{
static const char* const s_keysz[App::KEY_COUNT] = {
	"NONE",
	"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
	"N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
	"PAGEDOWN", "PAGEUP", "HOME", "END", "INSERT", "DELETE", "RETURN", "SHIFT",
	"CONTROL", "TAB", "SPACE", "BACKSPACE", "PAUSE", "ESCAPE",
	"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
	"LEFT", "RIGHT", "UP", "DOWN",
	"LBUTTON", "MBUTTON", "RBUTTON",
	"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
	"MULTIPLY", "ADD", "SUBTRACT", "DIVIDE", "LEFTSOFT", "RIGHTSOFT", "MIDDLE",
	"ASTERISK", "HASH", "CLEAR", "EDIT", "SEND", "VOLUME_UP", "VOLUME_DOWN",
	"KEY_GAMING_A", "KEY_GAMING_B", "KEY_BACK", "KEY_MENU", "KEY_ALT", "DASH", "KEY_ZOOM",
};

App* App::sm_app = nullptr;

App::App(OSInterface* os) :
	m_os(os),
	m_quit(false),
	m_exitCode(0)
{
	LANG_ASSERT(sm_app == nullptr);
	std::fill(m_keys, m_keys + KEY_COUNT, false);
	sm_app = this;
}

App::~App()
{
	sm_app = nullptr;
}

void App::keyDown(KeyType) {}
void App::keyUp(KeyType) {}
void App::orientationChanged() {}
void App::resolutionChanged() {}
void App::mouseMove(int, int) {}
void App::motion(double, double) {}
bool App::setControlsPresent(bool) { return true; }
void App::mouseWheel(int) {}

void App::touchBegan(const TouchEvent& touch)
{
	m_touches.push_back(touch);
}

void App::touchMoved(const TouchEvent& touch)
{
	for (TouchEvent& t : m_touches)
	{
		if (t.id == touch.id)
		{
			t = touch;
			return;
		}
	}
}

void App::touchEnded(const TouchEvent& touch)
{
	m_touches.erase(std::remove_if(m_touches.begin(), m_touches.end(),
		[&](const TouchEvent& t) { return t.id == touch.id; }), m_touches.end());
}

void App::touchCancel()
{
	m_touches.clear();
}

void App::activate(bool)
{
	std::fill(m_keys, m_keys + KEY_COUNT, false);
	touchCancel();
}

void App::loadFromUrl(const std::string&) {}
bool App::activateAudio(bool) { return true; }
bool App::safeToQuit() { return true; }
void App::softQuit() {}
void App::setMouseAvailable(bool) {}

App* App::get()
{
	LANG_ASSERT(sm_app != nullptr);
	return sm_app;
}

bool App::initialized()
{
	return sm_app != nullptr;
}

void App::deleteApp()
{
	delete sm_app;
	sm_app = nullptr;
}

void App::setDataPath(const std::string& path)
{
	m_dataPath = io::PathName(path);
}

std::string App::path(const std::string& name) const
{
	io::PathName dir(m_os->getDefaultDataPath(), m_dataPath.toString());
	return io::PathName(dir.toString(), name).toString();
}

void App::setKeyDown(KeyType key, bool down)
{
	m_keys[key] = down;
}

bool App::isKeyDown(KeyType key) const
{
	return m_keys[key];
}

void App::quit(int code)
{
	m_quit = true;
	m_exitCode = code;
}

const char* App::toString(KeyType key)
{
	return s_keysz[key];
}
}
