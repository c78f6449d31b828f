#ifndef FRAMEWORK_APP_H
#define FRAMEWORK_APP_H

#include <framework/TouchEvent.h>
#include <gr/Context.h>
#include <io/PathName.h>
#include <string>
#include <vector>

namespace framework
{
class OSInterface;

/**
 * The one application object. The host turns every platform event into a
 * call on this interface; the game derives from it.
 */
class App
{
public:
	enum KeyType
	{
		KEY_NONE = 0,
		KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
		KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
		KEY_PAGEDOWN, KEY_PAGEUP, KEY_HOME, KEY_END, KEY_INSERT, KEY_DELETE, KEY_RETURN, KEY_SHIFT,
		KEY_CONTROL, KEY_TAB, KEY_SPACE, KEY_BACKSPACE, KEY_PAUSE, KEY_ESCAPE,
		KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12,
		KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN,
		KEY_LBUTTON, KEY_MBUTTON, KEY_RBUTTON,
		KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9,
		KEY_MULTIPLY, KEY_ADD, KEY_SUBTRACT, KEY_DIVIDE, KEY_LEFTSOFT, KEY_RIGHTSOFT, KEY_MIDDLE,
		KEY_ASTERISK, KEY_HASH, KEY_CLEAR, KEY_EDIT, KEY_SEND, KEY_VOLUME_UP, KEY_VOLUME_DOWN,
		KEY_GAMING_A, KEY_GAMING_B, KEY_BACK, KEY_MENU, KEY_ALT, KEY_DASH, KEY_ZOOM,
		KEY_COUNT
	};

	/** Start-up settings; the host fills them before the App exists. */
	struct Configuration
	{
		std::string name;
		int width = 0;
		int height = 0;
		int bits = 16;
		bool fullscreen = true;
		bool showCursor = true;
		bool depthbuffer = false;
		bool stencilbuffer = false;
		bool captureMouse = false;
		int iconResourceID = 0;
		bool debugMemoryAllocs = false;
		gr::Context::OrientationType orientation = gr::Context::ORIENTATION_PORTRAIT;
		std::vector<gr::Context::OrientationType> autoOrientations;
		int framerate = 60;
		std::string publisher;
		std::string product;
		std::string dllPath;
		std::vector<gr::Context::PlatformType> renderer;
		bool singleton = false;
	};

	/** Registers the App as the single one; a second one is a programming error. */
	explicit App(OSInterface* os);
	virtual ~App();

	App(const App&) = delete;
	App& operator=(const App&) = delete;

	virtual void update(float dt, gr::Context* context, int flags) = 0;
	virtual void keyDown(KeyType key);
	virtual void keyUp(KeyType key);
	virtual void orientationChanged();
	virtual void resolutionChanged();
	virtual void mouseMove(int x, int y);
	virtual void motion(double x, double y);
	virtual bool setControlsPresent(bool present);
	virtual void mouseWheel(int delta);
	virtual void touchBegan(const TouchEvent& touch);
	virtual void touchMoved(const TouchEvent& touch);
	virtual void touchEnded(const TouchEvent& touch);
	virtual void touchCancel();
	/** Clears every key state and the touches. */
	virtual void activate(bool active);
	virtual void loadFromUrl(const std::string& url);
	virtual bool activateAudio(bool active);
	virtual bool safeToQuit();
	virtual void softQuit();
	virtual void setMouseAvailable(bool available);

	static App* get();
	static bool initialized();
	/** Destroys the App, if any. */
	static void deleteApp();

	void setDataPath(const std::string& path);
	/** The default data path, joined with the data folder, joined with name. */
	std::string path(const std::string& name) const;
	void setKeyDown(KeyType key, bool down);
	bool isKeyDown(KeyType key) const;
	void quit(int code);
	bool quitRequested() const { return m_quit; }
	int exitCode() const { return m_exitCode; }
	const std::vector<TouchEvent>& touches() const { return m_touches; }
	OSInterface* getOSInterface() const { return m_os; }

	/** The key's name, such as "LBUTTON"; the digits are named by themselves. */
	static const char* toString(KeyType key);

private:
	OSInterface* m_os;
	io::PathName m_dataPath;
	bool m_keys[KEY_COUNT];
	bool m_quit;
	int m_exitCode;
	std::vector<TouchEvent> m_touches;

	static App* sm_app;
};

/** Fills the configuration of the game; the host calls it before anything else exists. */
void configure(App::Configuration& config, OSInterface& os);
/** Makes the game's App on the given context. */
App* init(OSInterface* os, gr::Context* context);
}

#endif
