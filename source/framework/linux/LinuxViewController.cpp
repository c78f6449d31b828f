#include <framework/linux/LinuxViewController.h>
#include <framework/linux/LinuxGLView.h>
#include <SDL.h>

namespace framework
{
LinuxViewController::LinuxViewController(LinuxGLView* view) :
	m_view(view),
	m_hasSingleTouch(false),
	m_singleTouch(0),
	m_mouseDown(false)
{
}

namespace
{
TouchEvent toEvent(const LinuxViewController::Touch& t)
{
	return TouchEvent{t.id, static_cast<int>(t.x), static_cast<int>(t.y)};
}
}

void LinuxViewController::pressLeftButton(App* app)
{
	if (!app->isKeyDown(App::KEY_LBUTTON))
	{
		app->keyDown(App::KEY_LBUTTON);
		app->setKeyDown(App::KEY_LBUTTON, true);
	}
}

void LinuxViewController::touchesBegan(const std::vector<Touch>& touches)
{
	if (!App::initialized())
		return;
	App* app = App::get();
	for (const Touch& t : touches)
	{
		const TouchEvent e = toEvent(t);
		app->touchBegan(e);
		if (!m_hasSingleTouch)
		{
			m_hasSingleTouch = true;
			m_singleTouch = t.id;
			app->mouseMove(e.x, e.y);
			pressLeftButton(app);
		}
	}
}

void LinuxViewController::touchesMoved(const std::vector<Touch>& touches)
{
	if (!App::initialized())
		return;
	App* app = App::get();
	for (const Touch& t : touches)
	{
		const TouchEvent e = toEvent(t);
		app->touchMoved(e);
		if (m_hasSingleTouch && m_singleTouch == t.id)
		{
			app->mouseMove(e.x, e.y);
			pressLeftButton(app);
		}
	}
}

void LinuxViewController::touchesEnded(const std::vector<Touch>& touches)
{
	if (!App::initialized())
		return;
	App* app = App::get();
	for (const Touch& t : touches)
	{
		const TouchEvent e = toEvent(t);
		app->touchEnded(e);
		if (m_hasSingleTouch && m_singleTouch == t.id)
		{
			m_hasSingleTouch = false;
			app->mouseMove(e.x, e.y);
			if (app->isKeyDown(App::KEY_LBUTTON))
			{
				app->keyUp(App::KEY_LBUTTON);
				app->setKeyDown(App::KEY_LBUTTON, false);
			}
		}
	}
}

void LinuxViewController::touchesCancelled(const std::vector<Touch>& touches)
{
	touchesEnded(touches);
	m_hasSingleTouch = false;
}

void LinuxViewController::resetTouches()
{
	m_hasSingleTouch = false;
	// The App forgets its touches too; a press whose release went to another window must not
	// swallow the next one.
	m_mouseDown = false;
}

int LinuxViewController::fingerTouchId(int64_t finger, bool allocate)
{
	const auto found = m_fingers.find(finger);
	if (found != m_fingers.end())
		return found->second;
	if (!allocate)
		return -1;
	// The lowest id no finger holds.
	int id = 1;
	for (bool taken = true; taken; )
	{
		taken = false;
		for (const auto& f : m_fingers)
		{
			if (f.second == id)
			{
				taken = true;
				++id;
			}
		}
	}
	m_fingers[finger] = id;
	return id;
}

LinuxViewController::Touch LinuxViewController::fingerTouch(const SDL_Event& event, bool allocate)
{
	const float w = m_view ? static_cast<float>(m_view->drawableWidth()) : 0.f;
	const float h = m_view ? static_cast<float>(m_view->drawableHeight()) : 0.f;
	const float left = m_view ? static_cast<float>(m_view->surfaceLeft()) : 0.f;
	const float top = m_view ? static_cast<float>(m_view->surfaceTop()) : 0.f;
	return Touch{fingerTouchId(event.tfinger.fingerId, allocate), event.tfinger.x * w - left, event.tfinger.y * h - top};
}

LinuxViewController::Touch LinuxViewController::mouseTouch(int x, int y) const
{
	const float scale = m_view ? m_view->contentScale() : 1.f;
	const float left = m_view ? static_cast<float>(m_view->surfaceLeft()) : 0.f;
	const float top = m_view ? static_cast<float>(m_view->surfaceTop()) : 0.f;
	// In the game's surface, which a letterbox moves off the window's corner.
	return Touch{MOUSE_TOUCH, static_cast<float>(x) * scale - left, static_cast<float>(y) * scale - top};
}

void LinuxViewController::key(App::KeyType key, bool down)
{
	App* app = App::get();
	if (down)
		app->keyDown(key);
	else
		app->keyUp(key);
	app->setKeyDown(key, down);
}

bool LinuxViewController::handleEvent(const SDL_Event& event)
{
	switch (event.type)
	{
	case SDL_FINGERDOWN:
	case SDL_FINGERMOTION:
	case SDL_FINGERUP:
	{
		if (!App::initialized())
			return true;
		const Touch t = fingerTouch(event, event.type == SDL_FINGERDOWN);
		if (t.id < 0)
			return true;
		if (event.type == SDL_FINGERDOWN)
			touchesBegan({t});
		else if (event.type == SDL_FINGERMOTION)
			touchesMoved({t});
		else
		{
			m_fingers.erase(event.tfinger.fingerId);
			touchesEnded({t});
		}
		return true;
	}
	case SDL_MOUSEBUTTONDOWN:
	case SDL_MOUSEBUTTONUP:
	{
		// Fingers arrive as fingers; their mouse copies would touch twice.
		if (event.button.which == SDL_TOUCH_MOUSEID || !App::initialized())
			return true;
		const bool down = event.type == SDL_MOUSEBUTTONDOWN;
		if (event.button.button == SDL_BUTTON_LEFT)
		{
			if (down == m_mouseDown)
				return true;
			m_mouseDown = down;
			const Touch t = mouseTouch(event.button.x, event.button.y);
			if (down)
				touchesBegan({t});
			else
				touchesEnded({t});
		}
		else if (event.button.button == SDL_BUTTON_RIGHT)
			key(App::KEY_RBUTTON, down);
		else if (event.button.button == SDL_BUTTON_MIDDLE)
			key(App::KEY_MBUTTON, down);
		return true;
	}
	case SDL_MOUSEMOTION:
	{
		if (event.motion.which == SDL_TOUCH_MOUSEID || !App::initialized())
			return true;
		const Touch t = mouseTouch(event.motion.x, event.motion.y);
		if (m_mouseDown)
			touchesMoved({t});
		else
			App::get()->mouseMove(static_cast<int>(t.x), static_cast<int>(t.y));
		return true;
	}
	case SDL_MOUSEWHEEL:
	{
		if (event.wheel.which == SDL_TOUCH_MOUSEID || !App::initialized())
			return true;
		const int y = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
		// A sideways scroll alone is no zoom step.
		if (y != 0)
			App::get()->mouseWheel(y);
		return true;
	}
	case SDL_KEYDOWN:
	case SDL_KEYUP:
	{
		if (event.key.repeat || !App::initialized())
			return true;
		const App::KeyType k = keyOf(event.key.keysym.sym);
		if (k != App::KEY_NONE)
			key(k, event.type == SDL_KEYDOWN);
		return true;
	}
	default:
		return false;
	}
}

App::KeyType LinuxViewController::keyOf(int32_t sdlKey)
{
	if (sdlKey >= SDLK_a && sdlKey <= SDLK_z)
		return static_cast<App::KeyType>(App::KEY_A + (sdlKey - SDLK_a));
	if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9)
		return static_cast<App::KeyType>(App::KEY_0 + (sdlKey - SDLK_0));
	if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12)
		return static_cast<App::KeyType>(App::KEY_F1 + (sdlKey - SDLK_F1));
	switch (sdlKey)
	{
	case SDLK_KP_0: return App::KEY_0;
	case SDLK_KP_1: return App::KEY_1;
	case SDLK_KP_2: return App::KEY_2;
	case SDLK_KP_3: return App::KEY_3;
	case SDLK_KP_4: return App::KEY_4;
	case SDLK_KP_5: return App::KEY_5;
	case SDLK_KP_6: return App::KEY_6;
	case SDLK_KP_7: return App::KEY_7;
	case SDLK_KP_8: return App::KEY_8;
	case SDLK_KP_9: return App::KEY_9;
	case SDLK_PAGEDOWN: return App::KEY_PAGEDOWN;
	case SDLK_PAGEUP: return App::KEY_PAGEUP;
	case SDLK_HOME: return App::KEY_HOME;
	case SDLK_END: return App::KEY_END;
	case SDLK_INSERT: return App::KEY_INSERT;
	case SDLK_DELETE: return App::KEY_DELETE;
	case SDLK_RETURN:
	case SDLK_KP_ENTER: return App::KEY_RETURN;
	case SDLK_LSHIFT:
	case SDLK_RSHIFT: return App::KEY_SHIFT;
	case SDLK_LCTRL:
	case SDLK_RCTRL: return App::KEY_CONTROL;
	case SDLK_LALT:
	case SDLK_RALT: return App::KEY_ALT;
	case SDLK_TAB: return App::KEY_TAB;
	case SDLK_SPACE: return App::KEY_SPACE;
	case SDLK_BACKSPACE: return App::KEY_BACKSPACE;
	case SDLK_PAUSE: return App::KEY_PAUSE;
	// The desktop's way back, as the device's back key.
	case SDLK_ESCAPE:
	case SDLK_AC_BACK: return App::KEY_BACK;
	case SDLK_MENU:
	case SDLK_APPLICATION: return App::KEY_MENU;
	case SDLK_VOLUMEUP: return App::KEY_VOLUME_UP;
	case SDLK_VOLUMEDOWN: return App::KEY_VOLUME_DOWN;
	case SDLK_LEFT: return App::KEY_LEFT;
	case SDLK_RIGHT: return App::KEY_RIGHT;
	case SDLK_UP: return App::KEY_UP;
	case SDLK_DOWN: return App::KEY_DOWN;
	case SDLK_KP_MULTIPLY: return App::KEY_MULTIPLY;
	case SDLK_KP_PLUS: return App::KEY_ADD;
	case SDLK_KP_MINUS: return App::KEY_SUBTRACT;
	case SDLK_KP_DIVIDE: return App::KEY_DIVIDE;
	case SDLK_ASTERISK: return App::KEY_ASTERISK;
	case SDLK_HASH: return App::KEY_HASH;
	case SDLK_CLEAR: return App::KEY_CLEAR;
	case SDLK_MINUS: return App::KEY_DASH;
	default: return App::KEY_NONE;
	}
}
}
