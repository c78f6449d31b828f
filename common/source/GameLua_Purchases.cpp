#include "GameLua.h"
#include "StandIn.h"

// In-app purchases.
void GameLua::registerPurchases()
{
	standin::bind<void(std::string, std::string)>(this, "iapBuyItem");
	standin::bind<void(std::string)>(this, "iapInitItemPurchase");
	standin::bind<float()>(this, "iapGetItemCount");
	standin::bind<lua::LuaTable(float)>(this, "iapGetItemAt");
	standin::bind<void(float, std::string)>(this, "iapSetItemDescription");
	standin::bind<void(std::string)>(this, "iapRestoreItems");
	standin::bind<bool()>(this, "iapIsAllowed");
}
