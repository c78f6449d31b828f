#include <game/LuaResources.h>
#include <game/CompoSprite.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <cmath>
#include <limits>

namespace game
{
namespace
{
/** int(v) saturated; NaN gives 0. */
int saturate(double v)
{
	return lua::detail::numberToInt(v);
}
}

int LuaResources::createContent(lua::LuaState* state, void (*create)(Resources&, const std::string&, bool))
{
	lua::checkArgumentCount(state->top(), 1, 2);
	const std::string file = state->toString(1);
	const bool reload = state->top() == 2 && state->isBoolean(2) && state->toBoolean(2);
	create(m_resources, file, reload);
	return 0;
}

int LuaResources::createSpriteSheet(lua::LuaState* state)
{
	return createContent(state, [](Resources& r, const std::string& f, bool reload) { r.createSpriteSheet(f, reload); });
}

int LuaResources::createCompoSpriteSet(lua::LuaState* state)
{
	return createContent(state, [](Resources& r, const std::string& f, bool reload) { r.createCompoSpriteSet(f, reload); });
}

int LuaResources::createBitmapFont(lua::LuaState* state)
{
	return createContent(state, [](Resources& r, const std::string& f, bool reload) { r.createBitmapFont(f, reload); });
}

int LuaResources::createTextGroupSet(lua::LuaState* state)
{
	return createContent(state, [](Resources& r, const std::string& f, bool reload) { r.createTextGroupSet(f, reload); });
}

void LuaResources::captureSprite(const std::string& name)
{
	m_resources.captureSprite(name);
}

void LuaResources::releaseSpriteSheet(const std::string& file)
{
	m_resources.releaseSpriteSheet(file);
}

void LuaResources::releaseCompoSpriteSet(const std::string& file)
{
	m_resources.releaseCompoSpriteSet(file);
}

void LuaResources::releaseFont(const std::string& file)
{
	m_resources.releaseFont(file);
}

void LuaResources::releaseTextGroupSet(const std::string& file)
{
	m_resources.releaseTextGroupSet(file);
}

int LuaResources::drawSprite(lua::LuaState* state)
{
	const int count = state->top();
	// (name, x, y, ...) or the colon form with the table first.
	const int first = count >= 2 && state->type(2) == lua::LuaState::TYPE_NUMBER ? 1 : 2;
	lua::checkArgumentCount(count, 2 + first, 6 + first);
	const std::string name = state->toString(first);
	const float x = state->toNumber(first + 1);
	const float y = state->toNumber(first + 2);
	Anchor anchor(Anchor::VPIVOT, Anchor::HPIVOT);
	if (count >= first + 3)
		anchor.fromString(state->toString(first + 3));
	if (count >= first + 4)
		anchor.fromString(state->toString(first + 4));
	if (count == first + 6)
		m_resources.drawSprite(name, x, y, state->toNumber(first + 5), state->toNumber(first + 6), anchor);
	else
		m_resources.drawSprite(name, x, y, anchor);
	return 0;
}

void LuaResources::setClipRect(float x, float y, float w, float h)
{
	m_resources.setClipRect(gr::Rect(saturate(x), saturate(y), saturate(double(x) + w), saturate(double(y) + h)));
}

int LuaResources::getClipRect(lua::LuaState* state)
{
	lua::checkArgumentCount(state->top(), 0, 0);
	const gr::Rect& r = m_resources.getClipRect();
	lua_State* lua = state->getLua();
	lua_pushnumber(lua, r.left());
	lua_pushnumber(lua, r.top());
	lua_pushnumber(lua, double(r.right()) - r.left());
	lua_pushnumber(lua, double(r.bottom()) - r.top());
	return 4;
}

std::string LuaResources::nameArgument(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 1, 2);
	return state->toString(count == 1 ? 1 : 2);
}

int LuaResources::getSpriteBounds(lua::LuaState* state)
{
	const std::string name = nameArgument(state);
	state->pushNumber(float(m_resources.getSpriteWidth(name)));
	state->pushNumber(float(m_resources.getSpriteHeight(name)));
	return 2;
}

int LuaResources::getSpritePivot(lua::LuaState* state)
{
	const std::string name = nameArgument(state);
	state->pushNumber(float(m_resources.getSpritePivotX(name)));
	state->pushNumber(float(m_resources.getSpritePivotY(name)));
	return 2;
}

int LuaResources::getCompoSpriteBounds(lua::LuaState* state)
{
	const std::string name = nameArgument(state);
	const int px = m_resources.getSpritePivotX(name);
	const int py = m_resources.getSpritePivotY(name);
	state->pushNumber(float(-px));
	state->pushNumber(float(-py));
	state->pushNumber(float(m_resources.getSpriteWidth(name) - px));
	state->pushNumber(float(m_resources.getSpriteHeight(name) - py));
	return 4;
}

int LuaResources::getCompoSpriteData(lua::LuaState* state)
{
	lua::checkArgumentCount(state->top(), 1, 1);
	const std::string name = state->toString(1);
	lua_State* lua = state->getLua();
	lua_newtable(lua);
	// Not a composite: an empty table.
	if (CompoSprite* compo = m_resources.getCompoSprite(name))
	{
		for (int i = 0; i < compo->getSpriteCount(); ++i)
		{
			const CompoSprite::Entry& e = compo->getSpriteEntry(i);
			lua_createtable(lua, 3, 0);
			lua::LuaState::pushString(lua, e.name);
			lua_rawseti(lua, -2, 1);
			lua_pushnumber(lua, e.x);
			lua_rawseti(lua, -2, 2);
			lua_pushnumber(lua, e.y);
			lua_rawseti(lua, -2, 3);
			lua_rawseti(lua, -2, i + 1);
		}
	}
	return 1;
}

bool LuaResources::openURL(const std::string& url)
{
	return m_urlOpener ? m_urlOpener(url) : false;
}
}
