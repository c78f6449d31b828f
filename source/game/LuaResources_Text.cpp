#include <game/LuaResources.h>

namespace game
{
void LuaResources::loadLocale(const std::string& set, const std::string& locale)
{
	m_resources.loadLocale(set, locale);
}

void LuaResources::useLocale(const std::string& locale)
{
	m_resources.useLocale(locale);
}

void LuaResources::useFont(const std::string& font)
{
	m_resources.useFont(font);
}

int LuaResources::drawString(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 4, 6);
	const std::string set = state->toString(1);
	const std::string id = state->toString(2);
	const float x = state->toNumber(3);
	const float y = state->toNumber(4);
	Anchor anchor(Anchor::TOP, Anchor::LEFT);
	if (count >= 5)
		anchor.fromString(state->toString(5));
	if (count >= 6)
		anchor.fromString(state->toString(6));
	m_resources.drawString(set, id, x, y, anchor);
	return 0;
}

std::string LuaResources::getString(const std::string& set, const std::string& id)
{
	return m_resources.getString(set, id);
}

float LuaResources::getStringWidth(const std::string& text)
{
	return float(m_resources.getStringWidth(text, 0, 2147483647));
}

float LuaResources::getFontMaxAscending()
{
	return float(m_resources.getFontMaxAscending());
}

float LuaResources::getFontMaxDescending()
{
	return float(m_resources.getFontMaxDescending());
}

float LuaResources::getFontLeading()
{
	return float(m_resources.getFontLeading());
}

float LuaResources::getFontTracking()
{
	return float(m_resources.getFontTracking());
}

float LuaResources::getFontHeight()
{
	return float(m_resources.getFontHeight());
}

std::string LuaResources::getLocale()
{
	return m_resources.getLocale();
}
}
