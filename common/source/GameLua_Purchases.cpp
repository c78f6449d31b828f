#include "GameLua.h"
#include <lang/Debug.h>

const char* GameLua::sm_purchaseItemIds[10] = {
	"com.tarvel.Zephyra.levelpackrimward",
	"com.tarvel.Zephyra.novaburstsmall",
	"com.tarvel.Zephyra.novaburstmedium",
	"com.tarvel.Zephyra.novaburstlarge",
	"com.tarvel.Zephyra.novabursthuge",
	"com.tarvel.ZephyraHD.levelpackrimward",
	"com.tarvel.ZephyraHD.novaburstsmall",
	"com.tarvel.ZephyraHD.novaburstmedium",
	"com.tarvel.ZephyraHD.novaburstlarge",
	"com.tarvel.ZephyraHD.novabursthuge",
};

namespace
{
// The item index a script passed, or -1 when it names no item.
int itemIndex(float index, size_t count)
{
	if (!(index > -1.f) || index >= static_cast<float>(count))
		return -1;
	const int i = static_cast<int>(index);
	return i >= 0 && static_cast<size_t>(i) < count ? i : -1;
}
}

// In-app purchases.
void GameLua::registerPurchases()
{
	registerMethod<&GameLua::buyItem>("iapBuyItem", this);
	registerMethod<&GameLua::initItemPurchase>("iapInitItemPurchase", this);
	registerMethod<&GameLua::getAvailableItemCount>("iapGetItemCount", this);
	registerMethod<&GameLua::getItemAt>("iapGetItemAt", this);
	registerMethod<&GameLua::setItemDescription>("iapSetItemDescription", this);
	registerMethod<&GameLua::restoreItems>("iapRestoreItems", this);
	registerMethod<&GameLua::isIapAllowed>("iapIsAllowed", this);
}

bool GameLua::buyItem(const std::string& id, const std::string& callback)
{
	m_purchaseCallback = callback;
	lang::Debug::printf("GameLua::buyItem(%s): callback: %s\n", id.c_str(), callback.c_str());
	return m_commerce.buyItemId(id, this);
}

bool GameLua::initItemPurchase(const std::string& callback)
{
	m_purchaseCallback = callback;
	lang::Debug::printf("GameLua::initItemPurchase(): callback: %s\n", callback.c_str());
	return m_commerce.listAvailableItems(this);
}

bool GameLua::restoreItems(const std::string& callback)
{
	m_purchaseCallback = callback;
	return m_commerce.restoreItems(this);
}

int GameLua::getAvailableItemCount()
{
	return static_cast<int>(m_commerce.getItems().size());
}

lua::LuaTable GameLua::getItemAt(float index)
{
	lua::LuaTable item(getState());
	const auto& items = m_commerce.getItems();
	const int i = itemIndex(index, items.size());
	if (i < 0)
		return item;
	const pf::CommerceItem& source = *items[static_cast<size_t>(i)];
	item.setString("id", source.productId());
	item.setString("name", source.title());
	item.setString("description", source.description());
	item.setNumber("type", static_cast<float>(source.type()));
	item.setNumber("quantity", static_cast<float>(source.quantity()));
	item.setString("price", source.price());
	return item;
}

void GameLua::setItemDescription(float index, const std::string& description)
{
	const auto& items = m_commerce.getItems();
	const int i = itemIndex(index, items.size());
	if (i >= 0)
		items[static_cast<size_t>(i)]->setDescription(description);
}

bool GameLua::isIapAllowed()
{
	return m_commerce.isEnabled();
}

void GameLua::paymentFinished(const std::string& productId, pf::CommerceListener::PaymentStatus status, pf::Commerce::CommerceError error)
{
	if (m_purchaseCallback.empty())
		return;
	lang::Debug::printf("GameLua::paymentFinished(%s,%d,%d): calling callback: %s\n", productId.c_str(), static_cast<int>(status),
		static_cast<int>(error), m_purchaseCallback.c_str());
	callScriptNamed(m_purchaseCallback, "when a purchase, restore or item list ends (named by iapBuyItem, iapRestoreItems or iapInitItemPurchase)",
		productId, static_cast<float>(status), static_cast<float>(error));
	// The script has had the purchase: the store must not hand it over again, whenever the run ends.
	if (status == pf::CommerceListener::PAYMENT_COMPLETED && !productId.empty())
		m_commerce.finishTransaction(productId);
}

void GameLua::initFinished(pf::CommerceListener::PaymentProviderStatus status)
{
	lang::Debug::printf("GameLua::initFinished(%d)\n", static_cast<int>(status));
	if (status == pf::CommerceListener::PROVIDER_AVAILABLE)
		callScript("inAppPurchasingBecameAvailable");
}

void GameLua::getPurchaseHistoryFinished(const std::string&) {}
