#include "HostFixture.h"
#include <framework/OSInterface.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <algorithm>

namespace
{
std::function<void(framework::App::Configuration&)> s_configure;
}

// The host's game: the recording App with the test's configuration.
namespace framework
{
void configure(App::Configuration& config, OSInterface&)
{
	config.autoOrientations = {gr::Context::ORIENTATION_LANDSCAPE_RIGHT, gr::Context::ORIENTATION_LANDSCAPE_LEFT};
	config.renderer = {gr::Context::PLATFORM_GLES2};
	if (s_configure)
		s_configure(config);
}

App* init(OSInterface* os, gr::Context*)
{
	return new RecordingApp(os);
}
}

RecordingApp::~RecordingApp()
{
	if (deleted)
		*deleted = true;
}

void RecordingApp::record(const std::string& call)
{
	calls.push_back(call);
	const std::string name = call.substr(0, call.find(' '));
	if (std::find(failing.begin(), failing.end(), name) != failing.end())
		lang::throwError(lang::Exception(lang::Format("{0} failed", name)));
}

void RecordingApp::update(float dt, gr::Context* context, int)
{
	steps.push_back(dt);
	record("update");
	if (onUpdate)
		onUpdate();
	context->present();
}

void RecordingApp::touchBegan(const framework::TouchEvent& t)
{
	framework::App::touchBegan(t);
	record("touchBegan " + std::to_string(t.id) + " " + std::to_string(t.x) + " " + std::to_string(t.y));
}

void RecordingApp::touchMoved(const framework::TouchEvent& t)
{
	framework::App::touchMoved(t);
	record("touchMoved " + std::to_string(t.id) + " " + std::to_string(t.x) + " " + std::to_string(t.y));
}

void RecordingApp::touchEnded(const framework::TouchEvent& t)
{
	framework::App::touchEnded(t);
	record("touchEnded " + std::to_string(t.id) + " " + std::to_string(t.x) + " " + std::to_string(t.y));
}

void RecordingApp::activate(bool active)
{
	framework::App::activate(active);
	record(active ? "activate 1" : "activate 0");
}

bool RecordingApp::activateAudio(bool active)
{
	record(active ? "activateAudio 1" : "activateAudio 0");
	return true;
}

std::vector<std::string> RecordingApp::take()
{
	std::vector<std::string> result;
	result.swap(calls);
	return result;
}

int64_t HostTest::s_now = 0;

HostTest::HostTest()
{
	s_now = 1000000;
	s_configure = nullptr;
}

HostTest::~HostTest()
{
	m_host.reset();
	s_configure = nullptr;
}

void HostTest::configureWith(const std::function<void(framework::App::Configuration&)>& change)
{
	s_configure = change;
}

framework::LinuxHost::Options HostTest::options(int width, int height)
{
	framework::LinuxHost::Options o;
	o.dataRoot = "/nonexistent-bundle";
	o.userRoot = "/nonexistent-documents";
	o.width = width;
	o.height = height;
	o.window = true;
	o.clock = [] { return s_now; };
	o.sleep = [this](int64_t micros) {
		m_sleeps.push_back(micros);
		s_now += micros;
	};
	return o;
}

RecordingApp* HostTest::start(int width, int height)
{
	return start(options(width, height));
}

RecordingApp* HostTest::start(const framework::LinuxHost::Options& o)
{
	m_host.reset(new framework::LinuxHost(o));
	// Events of the window's own making (shown, exposed) are not the test's.
	SDL_PumpEvents();
	SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
	return app();
}

RecordingApp* HostTest::app() const
{
	return static_cast<RecordingApp*>(framework::App::get());
}

void HostTest::push(SDL_Event event)
{
	ASSERT_EQ(1, SDL_PushEvent(&event)) << SDL_GetError();
}

void HostTest::pushWindowEvent(Uint8 which)
{
	SDL_Event e = {};
	e.type = SDL_WINDOWEVENT;
	e.window.windowID = m_host->view()->windowID();
	e.window.event = which;
	push(e);
}

void HostTest::pushKey(SDL_Keycode key, bool down, bool repeat)
{
	SDL_Event e = {};
	e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
	e.key.windowID = m_host->view()->windowID();
	e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
	e.key.repeat = repeat ? 1 : 0;
	e.key.keysym.sym = key;
	push(e);
}

void HostTest::pushMouseButton(Uint8 button, bool down, int x, int y, Uint32 which)
{
	SDL_Event e = {};
	e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
	e.button.windowID = m_host->view()->windowID();
	e.button.which = which;
	e.button.button = button;
	e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
	e.button.x = x;
	e.button.y = y;
	push(e);
}

void HostTest::pushMouseMotion(int x, int y, Uint32 state, Uint32 which)
{
	SDL_Event e = {};
	e.type = SDL_MOUSEMOTION;
	e.motion.windowID = m_host->view()->windowID();
	e.motion.which = which;
	e.motion.state = state;
	e.motion.x = x;
	e.motion.y = y;
	push(e);
}

void HostTest::pushFinger(Uint32 type, SDL_FingerID finger, float x, float y)
{
	SDL_Event e = {};
	e.type = type;
	e.tfinger.touchId = 1;
	e.tfinger.fingerId = finger;
	e.tfinger.x = x;
	e.tfinger.y = y;
	push(e);
}

void HostTest::tick()
{
	m_host->tick();
}

void HostTest::drain()
{
	for (int turns = 0; turns < 100; ++turns)
	{
		m_host->tick();
		SDL_PumpEvents();
		if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0 && m_host->pendingEvents() == 0)
			return;
	}
	ADD_FAILURE() << "events still pending after 100 turns";
}
