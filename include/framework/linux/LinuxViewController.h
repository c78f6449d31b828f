#ifndef FRAMEWORK_LINUX_LINUXVIEWCONTROLLER_H
#define FRAMEWORK_LINUX_LINUXVIEWCONTROLLER_H

#include <framework/App.h>
#include <cstdint>
#include <map>
#include <vector>

union SDL_Event;

namespace framework
{
class LinuxGLView;

/**
 * Turns the window's input into App calls: fingers and the left mouse
 * button become touches, the first touch of a gesture also drives the
 * mouse and LBUTTON; keys, other buttons and the wheel go through as such.
 */
class LinuxViewController
{
public:
	/** One touch of an event; x and y in drawable pixels, truncated on the way to the App. */
	struct Touch
	{
		int id;
		float x;
		float y;
	};

	/** The touch id of the left mouse button; fingers count from 1. */
	static const int MOUSE_TOUCH = 0;

	/** view may be null (no window): then only the touch entries are of use. */
	explicit LinuxViewController(LinuxGLView* view);

	void touchesBegan(const std::vector<Touch>& touches);
	void touchesMoved(const std::vector<Touch>& touches);
	void touchesEnded(const std::vector<Touch>& touches);
	/** As ended; the single touch is forgotten in any case. */
	void touchesCancelled(const std::vector<Touch>& touches);
	/** Forgets the single touch; the host calls it whenever the frame loop starts or stops. */
	void resetTouches();

	/** Input events of the window to the App; false for any other event. */
	bool handleEvent(const SDL_Event& event);

	/** SDL's key code as a key of the App; KEY_NONE when the game has no such key. */
	static App::KeyType keyOf(int32_t sdlKey);

private:
	LinuxGLView* m_view;
	bool m_hasSingleTouch;
	int m_singleTouch;
	bool m_mouseDown;
	/** SDL finger id to touch id, for the fingers that are down. */
	std::map<int64_t, int> m_fingers;

	void pressLeftButton(App* app);
	int fingerTouchId(int64_t finger, bool allocate);
	Touch fingerTouch(const SDL_Event& event, bool allocate);
	Touch mouseTouch(int x, int y) const;
	void key(App::KeyType key, bool down);
};
}

#endif
