#include "GameLua.h"
#include "LineCorners.h"
#include "ScriptFields.h"
#include <game/CompoSprite.h>
#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <gr/Texture.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <math/float3.h>
#include <cmath>

// Immediate drawing for scripts: lines, rectangles, sprites along lines, boxes, gravity visuals.
void GameLua::registerDrawing()
{
	registerMethod<&GameLua::drawRubberband>("drawRubberband", this);
	registerLuaMethod("drawUITextNative", this, &GameLua::drawUITextNative,
		"text table, x, y [, scaleX, scaleY [, angle [, alpha]]] (3 to 7)");
	registerLuaMethod("renderGravityVisualsNative", this, &GameLua::renderGravityVisualsNative,
		"sensor table, x, y, size (exactly 4)");
	registerMethod<&GameLua::drawString3D>("drawString3D", this);
	registerMethod<&GameLua::drawSelectedTexturizedObject>("drawSelectedTexturizedObject", this);
	registerMethod<&GameLua::drawRect>("drawRect", this);
	registerMethod<&GameLua::drawTexturedRect>("drawTexturedRect", this);
	registerLuaMethod("setRenderState", this, &GameLua::setRenderState,
		"x, y [, scaleX, scaleY [, angle [, pivotX, pivotY [, alpha]]]] (2 to 8 numbers)");
	registerLuaMethod("drawTexturedLine2D", this, &GameLua::drawTexturedLine2D,
		"sprite, x1, y1, x2, y2, width [, 4 unused numbers] (6 to 10)");
	registerMethod<&GameLua::drawLine2D>("drawLine2D", this);
	registerMethod<&GameLua::drawRectLines>("drawRectLines", this);
	registerMethod<&GameLua::drawCompoSprite>("drawCompoSprite", this);
	registerMethod<&GameLua::clipText>("clipText", this);
	registerLuaMethod("drawBoxNative", this, &GameLua::drawBoxNative,
		"nine-slice table, x, y, width, height, hanchor, vanchor [, colour table] (7 or 8)");
	registerMethod<&GameLua::renderMaskedImageNative>("renderMaskedImageNative", this);
}

namespace
{
const game::Anchor PIVOT(game::Anchor::VPIVOT, game::Anchor::HPIVOT);

// Script numbers become pixels: NaN is 0 and the rest saturates well inside int,
// so no sum the context forms from them can overflow.
int toPixel(float v)
{
	const float limit = 16777216.f;
	if (!(v == v))
		return 0;
	if (v > limit)
		return int(limit);
	if (v < -limit)
		return -int(limit);
	return int(v);
}

// A channel clamped to 0..255 before packing, so it cannot spill into its neighbour.
unsigned channel255(float v)
{
	if (!(v > 0.f))
		return 0;
	return v >= 255.f ? 255u : unsigned(v);
}

unsigned channel01(float v)
{
	if (!(v > 0.f))
		return 0;
	return v >= 1.f ? 255u : unsigned(v * 255.f);
}

unsigned pack(unsigned a, unsigned r, unsigned g, unsigned b)
{
	return a << 24 | r << 16 | g << 8 | b;
}

void rotate(gr::RenderState2D& rs, float angle)
{
	const float c = std::cos(angle), s = std::sin(angle);
	rs.angle = angle;
	rs.rotation[0] = c;
	rs.rotation[1] = s;
	rs.rotation[2] = -s;
	rs.rotation[3] = c;
}

// Keeps the whole 2-D render state of a pass that moves it, for every way out.
class SavedRenderState
{
public:
	explicit SavedRenderState(gr::Context* context) : m_context(context), m_saved(context->getRenderState2D()) {}
	~SavedRenderState() { m_context->getRenderState2D() = m_saved; }

private:
	gr::Context* m_context;
	gr::RenderState2D m_saved;
};

}

bool getLineCorners(gr::Context* context, math::float2* corners, float x0, float y0, float x1, float y1, float width)
{
	const float lx = x1 - x0, ly = y1 - y0;
	const float length = std::sqrt(lx * lx + ly * ly);
	if (!(length > 0.f) || !std::isfinite(length))
		return false;
	const gr::RenderState2D& rs = context->getRenderState2D();
	const float dx = lx / length, dy = ly / length;
	float h = std::trunc(width * (rs.scale.y * dx * dx + rs.scale.x * dy * dy));
	if (!(h >= 1.f))
		h = 1.f;
	// The normal (-dy, dx): the quad's top edge lies on the side of -normal.
	const float nx = -dy * h, ny = dx * h;
	const float local[4][2] = {{x0 - nx, y0 - ny}, {x1 - nx, y1 - ny}, {x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}};
	const float px = rs.pivot.x, py = rs.pivot.y;
	for (int i = 0; i < 4; ++i)
	{
		const float qx = local[i][0] - px, qy = local[i][1] - py;
		const float X = px + rs.translation.x + rs.rotation[0] * qx + rs.rotation[2] * qy;
		const float Y = py + rs.translation.y + rs.rotation[1] * qx + rs.rotation[3] * qy;
		corners[i] = math::float2(X * rs.scale.x, Y * rs.scale.y);
	}
	return true;
}

int GameLua::setRenderState(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 2, 8);
	float a[8] = {};
	for (int i = 0; i < count; ++i)
		a[i] = state->toNumber(i + 1);
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.translation = math::float2(a[0], a[1]);
	if (count >= 4)
		rs.scale = math::float2(a[2], a[3]);
	if (count >= 5)
		rotate(rs, a[4]);
	// A sixth number without a seventh is no pivot.
	if (count >= 7)
		rs.pivot = math::float2(a[5], a[6]);
	if (count == 8)
		rs.alphaFactor = a[7];
	return 0;
}

void GameLua::drawLine2D(float x0, float y0, float x1, float y1, float width, float r, float g, float b, float a)
{
	m_context->drawLine2D(pack(channel255(a), channel255(r), channel255(g), channel255(b)), toPixel(x0), toPixel(y0),
		toPixel(x1), toPixel(y1), toPixel(width));
}

void GameLua::drawRectLines(float x0, float y0, float x1, float y1, float width, float r, float g, float b, float a)
{
	const unsigned colour = pack(channel255(a), channel255(r), channel255(g), channel255(b));
	const int l = toPixel(x0), t = toPixel(y0), rt = toPixel(x1), bt = toPixel(y1), w = toPixel(width);
	m_context->drawLine2D(colour, l, t, rt, t, w);
	m_context->drawLine2D(colour, l, t, l, bt, w);
	m_context->drawLine2D(colour, l, bt, rt, bt, w);
	m_context->drawLine2D(colour, rt, t, rt, bt, w);
}

void GameLua::drawRect(float r, float g, float b, float a, float x0, float y0, float x1, float y1, bool keepState)
{
	if (!keepState)
		m_context->getRenderState2D().reset();
	const int left = toPixel(x0), top = toPixel(y0);
	m_context->fillRect2D(pack(channel01(a), channel01(r), channel01(g), channel01(b)), left, top,
		toPixel(x1) - left, toPixel(y1) - top);
}

int GameLua::drawTexturedLine2D(lua::LuaState* state)
{
	// Sprite, two end points and a width; older scripts pass four more numbers, unused.
	const int count = state->top();
	lua::checkArgumentCount(count, 6, 10);
	const std::string name = state->toString(1);
	float v[5];
	for (int i = 0; i < 5; ++i)
		v[i] = state->toNumber(i + 2);
	for (int i = 7; i <= count; ++i)
		state->toNumber(i);
	game::Sprite* sprite = m_resources->getSprite(name);
	math::float2 corners[4];
	if (!sprite || !getLineCorners(m_context, corners, v[0], v[1], v[2], v[3], v[4]))
		return 0;
	sprite->draw(m_context, game::Transform(), corners, nullptr, nullptr);
	return 0;
}

void GameLua::drawTexturedRect(const std::string& name, float x, float y, float width, float height, bool)
{
	m_context->getRenderState2D().reset();
	game::Sprite* sprite = m_resources->getSprite(name);
	gr::Image* image = sprite ? sprite->getImage() : nullptr;
	if (!image || image->width() <= 0 || image->height() <= 0)
		return;
	// The region in fractions of the image; the context turns them into texture fractions.
	const float iw = float(image->width()), ih = float(image->height());
	const math::float4 region(float(sprite->getPositionInSheetX()) / iw, float(sprite->getPositionInSheetY()) / ih,
		float(sprite->getPositionInSheetX() + sprite->getWidth()) / iw,
		float(sprite->getPositionInSheetY() + sprite->getHeight()) / ih);
	m_context->texturizeRect2D(image, region, toPixel(x - m_cameraX), toPixel(y - m_cameraY), toPixel(width), toPixel(height));
}

void GameLua::drawSelectedTexturizedObject(const std::string& spriteName, const std::string& textureName, float x,
	float y, float scaleX, float scaleY)
{
	// An unknown sprite or texture, or a zero scale, draws nothing.
	game::Sprite* sprite = m_resources->getSprite(spriteName);
	game::SpriteSheet* texture = m_resources->getSpriteSheet(textureName);
	if (!sprite || !texture || !texture->getImage() || !(scaleX != 0.f) || !(scaleY != 0.f))
		return;
	MaskedImage& batch = maskedImage(textureName);
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.translation = math::float2(-m_cameraX / scaleX, -m_cameraY / scaleY);
	rs.scale = math::float2(m_worldScale * scaleX, m_worldScale * scaleY);
	batch.add(x * 20.f / scaleX, y * 20.f / scaleY, texture->getImage(), sprite, scaleX, scaleY);
	renderTextureBatches();
}

void GameLua::drawRubberband(float x0, float y0, float x1, float y1, float width, const std::string& name)
{
	game::Sprite* sprite = m_resources->getSprite(name);
	if (!sprite || !sprite->getImage())
		return;
	const float lx = x1 - x0, ly = y1 - y0;
	const float length = std::sqrt(lx * lx + ly * ly);
	if (!(length > 0.f) || !std::isfinite(length) || !std::isfinite(width))
		return;
	// Laid along the line's direction, centred on it; the sprite's own texture
	// coordinates stay right also where the texture is padded beyond the image.
	const float angle = std::atan2(ly, lx);
	const float hx = -std::sin(angle) * width * 0.5f, hy = std::cos(angle) * width * 0.5f;
	const math::float3 corners[4] = {math::float3(x0 - hx, y0 - hy, 0.001f), math::float3(x1 - hx, y1 - hy, 0.001f),
		math::float3(x0 + hx, y0 + hy, 0.001f), math::float3(x1 + hx, y1 + hy, 0.001f)};
	sprite->getImage()->draw(m_context, corners, sprite->getTextureCoordinates(), nullptr);
}

void GameLua::drawCompoSprite(const std::string& name, float x, float y)
{
	game::CompoSprite* compo = m_resources->getCompoSprite(name);
	if (!compo)
		return;
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const math::float2 pivot = rs.pivot;
	// Each part turns about the composite's origin.
	for (int i = 0; i < compo->getSpriteCount(); ++i)
	{
		const game::CompoSprite::Entry& e = compo->getSpriteEntry(i);
		if (!e.sprite)
			continue;
		rs.pivot = math::float2(float(e.sprite->getPivotX()) - e.x, float(e.sprite->getPivotY()) - e.y);
		e.sprite->draw(m_context, x + e.x, y + e.y, PIVOT);
	}
	rs.pivot = pivot;
}

int GameLua::drawBoxNative(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 7, 8);
	state->checkType(1, lua::LuaState::TYPE_TABLE);
	const lua::LuaTable box = state->toTable(1);
	const float x = state->toNumber(2), y = state->toNumber(3);
	const float width = state->toNumber(4), height = state->toNumber(5);
	const std::string hanchor = state->toString(6), vanchor = state->toString(7);
	const bool coloured = count == 8 && !state->isNil(8);
	lua::LuaTable colour;
	if (coloured)
	{
		state->checkType(8, lua::LuaState::TYPE_TABLE);
		colour = state->toTable(8);
	}

	auto slice = [&](const char* key) -> game::Sprite* {
		const std::string name = fields::text(box, key);
		return name.empty() ? nullptr : m_resources->getSprite(name);
	};
	game::Sprite* topMiddle = slice("topMiddle");
	game::Sprite* bottomMiddle = slice("bottomMiddle");
	game::Sprite* left = slice("left");
	game::Sprite* right = slice("right");
	const float top = topMiddle ? float(topMiddle->getHeight()) : 0.f;
	const float bottom = bottomMiddle ? float(bottomMiddle->getHeight()) : 0.f;
	const float leftW = left ? float(left->getWidth()) : 0.f;
	const float rightW = right ? float(right->getWidth()) : 0.f;

	float ox = x, oy = y;
	if (hanchor == "HCENTER")
		ox -= width * 0.5f;
	else if (hanchor == "RIGHT")
		ox -= width;
	if (vanchor == "VCENTER")
		oy -= height * 0.5f;
	else if (vanchor == "BOTTOM")
		oy -= height;
	ox = std::floor(ox);
	oy = std::floor(oy);

	using game::Anchor;
	const Anchor topLeft(Anchor::TOP, Anchor::LEFT);
	const float innerW = width - leftW - rightW, innerH = height - top - bottom;
	if (topMiddle)
		topMiddle->draw(m_context, ox + leftW, oy, innerW, top, topLeft);
	if (bottomMiddle)
		bottomMiddle->draw(m_context, ox + leftW, oy + height - bottom, innerW, bottom, topLeft);
	if (left)
		left->draw(m_context, ox, oy + top, leftW, innerH, topLeft);
	if (right)
		right->draw(m_context, ox + width - rightW, oy + top, rightW, innerH, topLeft);
	if (game::Sprite* s = slice("topLeft"))
		s->draw(m_context, ox, oy, topLeft);
	if (game::Sprite* s = slice("topRight"))
		s->draw(m_context, ox + width, oy, Anchor(Anchor::TOP, Anchor::RIGHT));
	if (game::Sprite* s = slice("bottomLeft"))
		s->draw(m_context, ox, oy + height, Anchor(Anchor::BOTTOM, Anchor::LEFT));
	if (game::Sprite* s = slice("bottomRight"))
		s->draw(m_context, ox + width, oy + height, Anchor(Anchor::BOTTOM, Anchor::RIGHT));

	if (coloured)
	{
		m_context->getRenderState2D().reset();
		const unsigned argb = pack(channel01(fields::number(colour, "alpha", 1.f)), channel01(fields::number(colour, "red", 1.f)),
			channel01(fields::number(colour, "green", 1.f)), channel01(fields::number(colour, "blue", 1.f)));
		const int l = toPixel(ox + leftW), t = toPixel(oy + top);
		m_context->fillRect2D(argb, l, t, toPixel(ox + width - rightW) - l, toPixel(oy + height - bottom) - t);
	}
	else if (game::Sprite* centre = slice("center"))
	{
		centre->draw(m_context, ox + leftW, oy + top, innerW, innerH, topLeft);
	}
	return 0;
}

int GameLua::renderGravityVisualsNative(lua::LuaState* state)
{
	lua::checkArgumentCount(state->top(), 4, 4);
	state->checkType(1, lua::LuaState::TYPE_TABLE);
	const lua::LuaTable sensor = state->toTable(1);
	const float x = state->toNumber(2), y = state->toNumber(3), size = state->toNumber(4);
	if (!sensor.isString("sensorType") || !sensor.isNumber("addVisualTimer") || !sensor.isBoolean("active") ||
		!sensor.isString("definition") || !sensor.isTable("gravityVisuals") || !m_blockTable.isTable("blocks"))
		return 0;
	const lua::LuaTable blocks = m_blockTable.getTable("blocks");
	const std::string definition = sensor.getString("definition");
	if (!blocks.isTable(definition))
		return 0;
	const std::string shape = fields::text(blocks.getTable(definition), "type");
	const lua::LuaTable visuals = sensor.getTable("gravityVisuals");

	SavedRenderState saved(m_context);
	gr::RenderState2D& rs = m_context->getRenderState2D();
	if (shape == "circle")
	{
		const float radius = sensor.getNumber("radius");
		for (int i = 1; !visuals.isNil(i); ++i)
		{
			if (!visuals.isTable(i))
				break;
			const lua::LuaTable entry = visuals.getTable(i);
			game::Sprite* sprite = m_resources->getSprite(fields::text(entry, "sprite"));
			const float s = radius * 3.f * size * 0.019f * entry.getNumber("scale");
			if (!sprite || !(s != 0.f) || !std::isfinite(s))
				continue;
			rs.translation = math::float2(x / s, y / s);
			rs.scale = math::float2(s, s);
			rs.pivot = math::float2(float(sprite->getPivotX()), float(sprite->getPivotY()));
			const float ex = entry.getNumber("x"), ey = entry.getNumber("y");
			// Four quarter turns, then the same turned by an eighth: a symmetric ring.
			for (int k = 0; k < 8; ++k)
			{
				rotate(rs, float(M_PI) * (0.5f * float(k % 4) + (k < 4 ? 0.f : 0.25f)));
				sprite->draw(m_context, ex, ey, PIVOT);
			}
		}
	}
	else if (shape == "box")
	{
		game::Sprite* slice = m_resources->getSprite("THEME_1_GRAVITY_SLICE_BOX_FADED");
		if (!slice || slice->getHeight() == 0)
			return 0;
		const float W = sensor.getNumber("width") * 10.f, H = sensor.getNumber("height") * 10.f;
		const float k = 2.f * W / float(slice->getHeight());
		const float s = size * k;
		if (!(s != 0.f) || !std::isfinite(s))
			return 0;
		const float a = sensor.getNumber("angle");
		rs.translation = math::float2(x / s, y / s);
		rs.scale = math::float2(s, s);
		rotate(rs, a + float(M_PI) * 0.5f);
		rs.pivot = math::float2(float(slice->getPivotX()), float(slice->getPivotY()));
		for (int i = 1; !visuals.isNil(i); ++i)
		{
			if (!visuals.isTable(i))
				break;
			const lua::LuaTable entry = visuals.getTable(i);
			game::Sprite* sprite = m_resources->getSprite(fields::text(entry, "sprite"));
			if (!sprite)
				continue;
			const float d = H * (2.f * entry.getNumber("pos") - 1.f) / k;
			sprite->draw(m_context, std::sin(a) * d, -std::cos(a) * d, PIVOT);
		}
	}
	return 0;
}
