#include "HostServices.h"
#include <framework/linux/LinuxGLView.h>
#include <pf/Alert.h>
#include <pf/ServicePump.h>
#include <pf/VideoPlayer.h>
#include <pf/WebView.h>

void addPlatformServices(framework::LinuxHost::Options& options)
{
	options.servicePump = [](framework::LinuxHost& host) {
		// Due notifications wait in their file until the game listens (its script set a callback).
		pf::pumpServices([&host](const std::string& name) { host.receivedLocalNotification(name); },
			[&host]() { return host.hearsNotifications(); });
	};
	options.windowServices = [](framework::LinuxGLView* window) {
		if (!window)
		{
			pf::Alert::setPresenter(nullptr);
			pf::WebView::setWindowLocator(nullptr);
			pf::VideoPlayer::setWindowHandle(0);
			return;
		}
		// The services' questions become dialogs over the game window.
		pf::Alert::setPresenter([window](const std::string& title, const std::string& message,
			const std::vector<std::string>& buttons) { return window->showMessageBox(title, message, buttons); });
		// Web pages are laid over the game's surface: from the window's corner, past a letterbox's bars.
		pf::WebView::setWindowLocator([window](int& x, int& y) {
			window->screenPosition(x, y);
			const float scale = window->contentScale() > 0.f ? window->contentScale() : 1.f;
			x += static_cast<int>(static_cast<float>(window->surfaceLeft()) / scale);
			y += static_cast<int>(static_cast<float>(window->surfaceTop()) / scale);
			return true;
		});
		// Full-screen videos draw over the game in its own window (where it is an X11 one).
		pf::VideoPlayer::setWindowHandle(window->x11Window());
	};
}
