#include "GameLua.h"
#include "GameApp.h"
#include <audio/AudioOutput.h>
#include <framework/OSInterface.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>

// Other platform operations. Store, update and advertising hooks do nothing: this platform has none of them.
void GameLua::registerPlatform()
{
	registerMethod<&GameLua::ignoreCall>("openPartnerShop", this);
	registerMethod<&GameLua::requestExit>("requestExit", this);
	registerMethod<&GameLua::ignoreCall>("checkForUpdates", this);
	registerMethod<&GameLua::ignoreCall>("callVersionUpdater", this);
	registerMethod<&GameLua::captureMouse>("captureMouse", this);
	registerMethod<&GameLua::isMouseCaptured>("isMouseCaptured", this);
	registerMethod<&GameLua::setFullScreenMode>("setFullScreenMode", this);
	registerMethod<&GameLua::setResolution>("setResolution", this);
	registerMethod<&GameLua::isInFullScreenMode>("isInFullScreenMode", this);
	registerMethod<&GameLua::getClipboardText>("getClipboardText", this);
	registerMethod<&GameLua::setIsMultitouchMouseWheelSimulationEnabled>("setIsMultitouchMouseWheelSimulationEnabled", this);
	registerMethod<&GameLua::doesMouseClickSetsTouchCount>("doesMouseClickSetsTouchCount", this);
	registerMethod<&GameLua::enableSmoothZooming>("enableSmoothZooming", this);
	registerMethod<&GameLua::addNotificationAfter>("addNotificationAfter", this);
	registerMethod<&GameLua::removeNotification>("removeNotification", this);
	registerMethod<&GameLua::removeAllNotifications>("removeAllNotifications", this);
	registerMethod<&GameLua::setNotificationCallback>("setNotificationCallback", this);
	registerMethod<&GameLua::ignoreCall>("goToTaskSwitcherLua", this);
	registerMethod<&GameLua::setGameOn>("setGameOn", this);
	registerMethod<&GameLua::ignoreCall>("activateGameOverlayToStore", this);
	registerMethod<&GameLua::ignoreCall>("showBannerAd", this);
	registerMethod<&GameLua::ignoreCall>("hideBannerAd", this);
	registerMethod<&GameLua::requestBannerAd>("requestBannerAd", this);
	registerMethod<&GameLua::ignoreCall>("showInterstitialAd", this);
	registerMethod<&GameLua::ignoreCall>("requestInterstitialAd", this);
	registerMethod<&GameLua::ignoreCall>("requestAndShowInterstitialAd", this);
	registerMethod<&GameLua::ignoreCall>("stopAds", this);
	registerMethod<&GameLua::ignoreCall>("showExpandableAd", this);
	registerMethod<&GameLua::ignoreCall>("requestExpandableAd", this);
	registerMethod<&GameLua::ignoreCall>("hideExpandableAd", this);
	registerMethod<&GameLua::ignoreCall>("enableiAds", this);
	registerMethod<&GameLua::ignoreCall>("disableiAds", this);
	registerMethod<&GameLua::ignoreCall>("requestInterstitial", this);
	registerMethod<&GameLua::ignoreCall>("showInterstitial", this);
	registerMethod<&GameLua::playVideo>("playVideo", this);
	registerMethod<&GameLua::setChannelCountLimit>("setChannelCountLimit", this);
}

bool GameLua::addNotificationAfter(const std::string& eventName, float seconds, const std::string& text)
{
	if (m_appSettings.isBoolean("notifications") && !m_appSettings.getBoolean("notifications"))
		return false;
	return m_localNotifications.addNotificationAfter(eventName, seconds, text);
}

bool GameLua::removeNotification(const std::string& eventName)
{
	return m_localNotifications.removeNotification(eventName);
}

void GameLua::removeAllNotifications()
{
	m_localNotifications.removeAllNotifications();
}

void GameLua::setNotificationCallback(const std::string& name)
{
	m_notificationCallback = name;
}

void GameLua::notificationReceived(const std::string& eventName)
{
	if (!m_notificationCallback.empty())
		callScriptNamed(m_notificationCallback, "when a local notification arrives (named by setNotificationCallback)", eventName);
}

bool GameLua::playVideo(const std::string& file)
{
	// The player opens files by themselves, not through the bundle's streams.
	std::string path = m_app->path(file);
	if (path.empty() || path[0] != '/')
		path = io::detail::bundlePath() + "/" + path;
	if (!m_videoPlayer.playFullscreen(path, this))
		return false;
	// The frame loop rests while the video covers the game; videoPlayEnded restarts it.
	m_app->getOSInterface()->stopUpdate();
	return true;
}

void GameLua::videoPlayEnded()
{
	m_app->getOSInterface()->startUpdate();
}

bool GameLua::captureMouse(bool capture)
{
	return m_app->getOSInterface()->captureMouse(capture);
}

bool GameLua::isMouseCaptured()
{
	return m_app->getOSInterface()->isMouseCaptured();
}

void GameLua::setFullScreenMode(bool fullscreen)
{
	m_app->getOSInterface()->setFullscreen(fullscreen);
}

bool GameLua::isInFullScreenMode()
{
	return m_app->getOSInterface()->isFullscreen();
}

void GameLua::setResolution(float width, float height)
{
	m_app->getOSInterface()->setResolution(lua::detail::numberToInt(width), lua::detail::numberToInt(height));
}

void GameLua::setGameOn(bool on)
{
	// While the game is on the device may not sleep.
	m_app->getOSInterface()->allowSleep(!on);
}

void GameLua::setIsMultitouchMouseWheelSimulationEnabled(bool enabled)
{
	m_multitouchMouseWheelSimulation = enabled;
}

void GameLua::enableSmoothZooming(bool enabled)
{
	m_app->setSmoothZooming(enabled);
}

bool GameLua::doesMouseClickSetsTouchCount()
{
	return false;
}

std::string GameLua::getClipboardText()
{
	return std::string();
}

void GameLua::setChannelCountLimit(int channel, int limit)
{
	if (audio::AudioOutput* output = m_resources->getAudioOutput())
		output->setClipCountLimit(channel, limit);
}

void GameLua::requestBannerAd()
{
	lang::Debug::printf("GameLua::requestBannerAd()\n");
}
