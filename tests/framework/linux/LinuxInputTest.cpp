#include "HostFixture.h"
#include "NullOSInterface.h"
#include <framework/linux/LinuxViewController.h>
#include <algorithm>

typedef std::vector<std::string> Calls;

namespace
{
// The calls but frames and activation: what the input made of the events.
Calls input(RecordingApp* a)
{
	Calls result;
	for (const std::string& c : a->take())
		if (c != "update" && c.compare(0, 8, "activate") != 0)
			result.push_back(c);
	return result;
}
}

TEST_F(HostTest, OnlyTheFirstFingerDrivesTheMouse)
{
	RecordingApp* a = start();
	a->take();
	pushFinger(SDL_FINGERDOWN, 501, 0.5f, 0.25f);
	pushFinger(SDL_FINGERDOWN, 502, 0.1f, 0.1f);
	pushFinger(SDL_FINGERMOTION, 502, 0.2f, 0.2f);
	pushFinger(SDL_FINGERMOTION, 501, 0.75f, 0.5f);
	drain();
	EXPECT_EQ((Calls{"touchBegan 1 480 160", "mouseMove 480 160", "keyDown LBUTTON",
		"touchBegan 2 96 64", "touchMoved 2 192 128",
		"touchMoved 1 720 320", "mouseMove 720 320"}), input(a));
	EXPECT_TRUE(a->isKeyDown(framework::App::KEY_LBUTTON));
	EXPECT_EQ(2u, a->touches().size());
	// The first finger up releases the button though the second is still down; the second never takes over.
	pushFinger(SDL_FINGERUP, 501, 0.75f, 0.5f);
	pushFinger(SDL_FINGERMOTION, 502, 0.3f, 0.3f);
	drain();
	EXPECT_EQ((Calls{"touchEnded 1 720 320", "mouseMove 720 320", "keyUp LBUTTON", "touchMoved 2 288 192"}), input(a));
	EXPECT_FALSE(a->isKeyDown(framework::App::KEY_LBUTTON));
	// The freed id is the lowest free one again, and a new finger starts a new single touch.
	pushFinger(SDL_FINGERDOWN, 503, 0.f, 0.f);
	pushFinger(SDL_FINGERUP, 502, 0.3f, 0.3f);
	drain();
	EXPECT_EQ((Calls{"touchBegan 1 0 0", "mouseMove 0 0", "keyDown LBUTTON", "touchEnded 2 288 192"}), input(a));
	EXPECT_TRUE(a->isKeyDown(framework::App::KEY_LBUTTON));
}

TEST_F(HostTest, AButtonTheAppAlreadyHoldsIsNotPressedTwice)
{
	RecordingApp* a = start();
	a->setKeyDown(framework::App::KEY_LBUTTON, true);
	a->take();
	pushFinger(SDL_FINGERDOWN, 7, 0.f, 0.f);
	tick();
	EXPECT_EQ((Calls{"touchBegan 1 0 0", "mouseMove 0 0"}), input(a));
}

TEST_F(HostTest, TheLeftButtonIsTouchZeroAndOtherButtonsAreKeys)
{
	RecordingApp* a = start();
	a->take();
	pushMouseMotion(5, 6, 0);
	pushMouseButton(SDL_BUTTON_LEFT, true, 10, 20);
	pushMouseMotion(30, 40, SDL_BUTTON_LMASK);
	pushMouseButton(SDL_BUTTON_LEFT, false, 31, 41);
	pushMouseButton(SDL_BUTTON_RIGHT, true, 31, 41);
	pushMouseButton(SDL_BUTTON_MIDDLE, true, 31, 41);
	pushMouseButton(SDL_BUTTON_RIGHT, false, 31, 41);
	drain();
	EXPECT_EQ((Calls{"mouseMove 5 6",
		"touchBegan 0 10 20", "mouseMove 10 20", "keyDown LBUTTON",
		"touchMoved 0 30 40", "mouseMove 30 40",
		"touchEnded 0 31 41", "mouseMove 31 41", "keyUp LBUTTON",
		"keyDown RBUTTON", "keyDown MBUTTON", "keyUp RBUTTON"}), input(a));
	EXPECT_TRUE(a->isKeyDown(framework::App::KEY_MBUTTON));
	EXPECT_FALSE(a->isKeyDown(framework::App::KEY_RBUTTON));
	// Mouse copies of fingers are dropped; a release without a press is nothing.
	pushMouseButton(SDL_BUTTON_LEFT, true, 1, 1, SDL_TOUCH_MOUSEID);
	pushMouseMotion(2, 2, 0, SDL_TOUCH_MOUSEID);
	pushMouseButton(SDL_BUTTON_LEFT, false, 1, 1);
	drain();
	EXPECT_EQ(Calls{}, input(a));
}

TEST_F(HostTest, TheWheelGivesItsStepsTurnedWhenFlipped)
{
	RecordingApp* a = start();
	a->take();
	const struct
	{
		int y;
		Uint32 direction;
		Uint32 which;
	} wheels[] = {{2, SDL_MOUSEWHEEL_NORMAL, 0}, {2, SDL_MOUSEWHEEL_FLIPPED, 0}, {-1, SDL_MOUSEWHEEL_NORMAL, 0},
		{0, SDL_MOUSEWHEEL_NORMAL, 0}, {3, SDL_MOUSEWHEEL_NORMAL, SDL_TOUCH_MOUSEID}};
	for (const auto& w : wheels)
	{
		SDL_Event e = {};
		e.type = SDL_MOUSEWHEEL;
		e.wheel.windowID = m_host->view()->windowID();
		e.wheel.which = w.which;
		e.wheel.y = w.y;
		e.wheel.direction = w.direction;
		push(e);
	}
	tick();
	EXPECT_EQ((Calls{"mouseWheel 2", "mouseWheel -2", "mouseWheel -1"}), input(a));
}

TEST_F(HostTest, KeysGoThroughTheTableOnceEachWithoutRepeats)
{
	RecordingApp* a = start();
	a->take();
	pushKey(SDLK_ESCAPE, true);
	pushKey(SDLK_ESCAPE, true, true);
	pushKey(SDLK_F13, true);
	pushKey(SDLK_VOLUMEUP, true);
	pushKey(SDLK_ESCAPE, false);
	tick();
	EXPECT_EQ((Calls{"keyDown KEY_BACK", "keyDown VOLUME_UP", "keyUp KEY_BACK"}), input(a));
	EXPECT_FALSE(a->isKeyDown(framework::App::KEY_BACK));
	EXPECT_TRUE(a->isKeyDown(framework::App::KEY_VOLUME_UP));

	typedef framework::LinuxViewController C;
	const std::pair<SDL_Keycode, framework::App::KeyType> table[] = {
		{SDLK_a, framework::App::KEY_A}, {SDLK_z, framework::App::KEY_Z}, {SDLK_0, framework::App::KEY_0},
		{SDLK_9, framework::App::KEY_9}, {SDLK_KP_7, framework::App::KEY_7}, {SDLK_F1, framework::App::KEY_F1},
		{SDLK_F12, framework::App::KEY_F12}, {SDLK_AC_BACK, framework::App::KEY_BACK},
		{SDLK_MENU, framework::App::KEY_MENU}, {SDLK_VOLUMEDOWN, framework::App::KEY_VOLUME_DOWN},
		{SDLK_RSHIFT, framework::App::KEY_SHIFT}, {SDLK_LCTRL, framework::App::KEY_CONTROL},
		{SDLK_LEFT, framework::App::KEY_LEFT}, {SDLK_RETURN, framework::App::KEY_RETURN},
		{SDLK_KP_PLUS, framework::App::KEY_ADD}, {SDLK_F13, framework::App::KEY_NONE},
		{SDLK_CAPSLOCK, framework::App::KEY_NONE}};
	for (const auto& k : table)
		EXPECT_EQ(k.second, C::keyOf(k.first)) << SDL_GetKeyName(k.first);
}

TEST_F(HostTest, StartingOrStoppingTheLoopForgetsTheSingleTouch)
{
	RecordingApp* a = start();
	pushFinger(SDL_FINGERDOWN, 1, 0.5f, 0.5f);
	tick();
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
	tick();
	a->take();
	// The finger that was down is no longer the single touch: lifting it releases nothing.
	pushFinger(SDL_FINGERUP, 1, 0.5f, 0.5f);
	tick();
	EXPECT_EQ((Calls{"touchEnded 1 480 320"}), input(a));
}

TEST_F(HostTest, AMousePressWhoseReleaseWasLostDoesNotSwallowTheNextPress)
{
	RecordingApp* a = start();
	pushMouseButton(SDL_BUTTON_LEFT, true, 10, 20);
	tick();
	// The button went up while another window had the focus: no release reaches the game.
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
	tick();
	a->take();
	pushMouseButton(SDL_BUTTON_LEFT, true, 30, 40);
	pushMouseButton(SDL_BUTTON_LEFT, false, 31, 41);
	drain();
	EXPECT_EQ((Calls{"touchBegan 0 30 40", "mouseMove 30 40", "keyDown LBUTTON",
		"touchEnded 0 31 41", "mouseMove 31 41", "keyUp LBUTTON"}), input(a));
	// A release after the reset, with no press of its own, is nothing.
	pushMouseButton(SDL_BUTTON_LEFT, true, 1, 1);
	tick();
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
	tick();
	a->take();
	pushMouseButton(SDL_BUTTON_LEFT, false, 2, 2);
	tick();
	EXPECT_EQ(Calls{}, input(a));
}

// Events taken in one batch (a quick drag, a tap, or input sent faster than frames) still show the game
// each press and release in a frame of its own, at the place it happened.
TEST_F(HostTest, EachPressAndReleaseEndsTheFramesInput)
{
	RecordingApp* a = start();
	a->take();
	bool heldAtFrame = false;
	a->onUpdate = [&] { heldAtFrame = a->isKeyDown(framework::App::KEY_LBUTTON); };
	pushMouseMotion(5, 6, 0);
	pushMouseButton(SDL_BUTTON_LEFT, true, 10, 20);
	pushMouseMotion(90, 80, SDL_BUTTON_LMASK);
	pushMouseButton(SDL_BUTTON_LEFT, false, 90, 80);
	pushMouseMotion(200, 200, 0);
	tick();
	EXPECT_EQ((Calls{"mouseMove 5 6", "touchBegan 0 10 20", "mouseMove 10 20", "keyDown LBUTTON", "update"}), a->take());
	EXPECT_TRUE(heldAtFrame);
	tick();
	EXPECT_EQ((Calls{"touchMoved 0 90 80", "mouseMove 90 80", "touchEnded 0 90 80", "mouseMove 90 80", "keyUp LBUTTON",
		"update"}), a->take());
	EXPECT_FALSE(heldAtFrame);
	tick();
	EXPECT_EQ((Calls{"mouseMove 200 200", "update"}), a->take());
	// Fingers likewise; other buttons and keys do not end the frame's input.
	pushKey(SDLK_MENU, true);
	pushMouseButton(SDL_BUTTON_RIGHT, true, 1, 1);
	pushFinger(SDL_FINGERDOWN, 9, 0.5f, 0.5f);
	pushFinger(SDL_FINGERUP, 9, 0.25f, 0.25f);
	tick();
	EXPECT_EQ((Calls{"keyDown KEY_MENU", "keyDown RBUTTON", "touchBegan 1 480 320", "mouseMove 480 320", "keyDown LBUTTON",
		"update"}), a->take());
	tick();
	EXPECT_EQ((Calls{"touchEnded 1 240 160", "mouseMove 240 160", "keyUp LBUTTON", "update"}), a->take());
}

// A press on the window while it has no focus: a window manager gives the focus just after the
// press that asked for it, and without one no focus comes at all. Either way the press counts.
TEST_F(HostTest, APressOnTheWindowWithoutFocusActivatesTheGameAndCounts)
{
	RecordingApp* a = start();
	for (bool focusFollows : {true, false})
	{
		SCOPED_TRACE(focusFollows ? "focus follows the press" : "no focus comes");
		pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
		tick();
		ASSERT_FALSE(m_host->isUpdating());
		a->take();
		pushMouseButton(SDL_BUTTON_LEFT, true, 10, 20);
		if (focusFollows)
			pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
		drain();
		EXPECT_TRUE(m_host->isActive());
		EXPECT_TRUE(m_host->isUpdating());
		EXPECT_TRUE(a->isKeyDown(framework::App::KEY_LBUTTON));
		EXPECT_EQ(1u, a->touches().size());
		const Calls calls = a->take();
		EXPECT_EQ((Calls{"activate 1", "activateAudio 1", "touchBegan 0 10 20", "mouseMove 10 20", "keyDown LBUTTON"}),
			Calls(calls.begin(), std::find(calls.begin(), calls.end(), "update")));
		pushMouseButton(SDL_BUTTON_LEFT, false, 30, 40);
		drain();
		EXPECT_EQ((Calls{"touchEnded 0 30 40", "mouseMove 30 40", "keyUp LBUTTON"}), input(a));
	}
}

TEST(LinuxViewController, TouchesAreTruncatedAndCancelForgetsTheSingleTouch)
{
	framework::LinuxViewController c(nullptr);
	// Nothing happens while no App exists.
	c.touchesBegan({{1, 1.f, 1.f}});
	NullOSInterface os;
	RecordingApp a(&os);
	// A point (10.7, 20.2) on a screen of scale 2.
	c.touchesBegan({{4, 10.7f * 2, 20.2f * 2}, {5, 3.9f, 3.9f}});
	c.touchesCancelled({{5, 3.f, 3.f}});
	EXPECT_EQ((Calls{"touchBegan 4 21 40", "mouseMove 21 40", "keyDown LBUTTON", "touchBegan 5 3 3", "touchEnded 5 3 3"}),
		a.take());
	// The cancel forgot the single touch: the first finger no longer moves the mouse.
	c.touchesMoved({{4, 8.f, 8.f}});
	EXPECT_EQ((Calls{"touchMoved 4 8 8"}), a.take());
}
