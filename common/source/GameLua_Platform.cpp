#include "GameLua.h"
#include "StandIn.h"

// Other platform operations.
void GameLua::registerPlatform()
{
	standin::bind<void(std::string)>(this, "openPartnerShop");
	registerMethod<&GameLua::requestExit>("requestExit", this);
	standin::bind<void()>(this, "checkForUpdates");
	standin::bind<void()>(this, "callVersionUpdater");
	standin::bind<void(bool)>(this, "captureMouse");
	standin::bind<bool()>(this, "isMouseCaptured");
	standin::bind<void(bool)>(this, "setFullScreenMode");
	standin::bind<void(float, float)>(this, "setResolution");
	standin::bind<bool()>(this, "isInFullScreenMode");
	standin::bind<std::string()>(this, "getClipboardText");
	standin::bind<void(bool)>(this, "setIsMultitouchMouseWheelSimulationEnabled");
	standin::bind<bool()>(this, "doesMouseClickSetsTouchCount");
	standin::bind<void(bool)>(this, "enableSmoothZooming");
	standin::bind<bool(std::string, float, std::string)>(this, "addNotificationAfter");
	standin::bind<bool(std::string)>(this, "removeNotification");
	standin::bind<void()>(this, "removeAllNotifications");
	standin::bind<void(std::string)>(this, "setNotificationCallback");
	standin::bind<void()>(this, "goToTaskSwitcherLua");
	standin::bind<void(bool)>(this, "setGameOn");
	standin::bind<void()>(this, "activateGameOverlayToStore");
	standin::bind<void()>(this, "showBannerAd");
	standin::bind<void()>(this, "hideBannerAd");
	standin::bind<void()>(this, "requestBannerAd");
	standin::bind<void()>(this, "showInterstitialAd");
	standin::bind<void()>(this, "requestInterstitialAd");
	standin::bind<void()>(this, "requestAndShowInterstitialAd");
	standin::bind<void()>(this, "stopAds");
	standin::bind<void()>(this, "showExpandableAd");
	standin::bind<void()>(this, "requestExpandableAd");
	standin::bind<void()>(this, "hideExpandableAd");
	standin::bind<void()>(this, "enableiAds");
	standin::bind<void()>(this, "disableiAds");
	standin::bind<void()>(this, "requestInterstitial");
	standin::bind<void()>(this, "showInterstitial");
	standin::bind<void(std::string)>(this, "playVideo");
	standin::bind<void(int, int)>(this, "setChannelCountLimit");
}
