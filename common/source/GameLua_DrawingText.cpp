#include "GameLua.h"
#include "ScriptFields.h"
#include <game/Anchor.h>
#include <gr/Context.h>
#include <lang/string.h>
#include <math/float3.h>
#include <climits>
#include <cmath>

// Immediate text drawing for scripts: UI text blocks, text in 3-D and word wrap.
namespace
{
// Puts the alpha back on every way out, also when a script or the font raises.
class AlphaRestore
{
public:
	AlphaRestore(gr::Context* context, float after) : m_context(context), m_after(after) {}
	~AlphaRestore() { m_context->getRenderState2D().alphaFactor = m_after; }

private:
	gr::Context* m_context;
	float m_after;
};

bool isBreak(unsigned c)
{
	return c == 10 || c == 32 || c == 45 || c == 0x200B;
}
}

int GameLua::drawUITextNative(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 3, 7);
	state->checkType(1, lua::LuaState::TYPE_TABLE);
	const lua::LuaTable text = state->toTable(1);
	const float x = state->toNumber(2), y = state->toNumber(3);
	float scaleX = 1.f, scaleY = 1.f, angle = 0.f, alpha = 1.f;
	if (count > 4)
		scaleX = state->toNumber(4), scaleY = state->toNumber(5);
	if (count > 5)
		angle = state->toNumber(6);
	const bool hasAlpha = count > 6;
	if (hasAlpha)
		alpha = state->toNumber(7);
	if (!fields::isTrue(text, "visible"))
		return 0;

	// A block without its own scale draws at the caller's.
	const math::float2 scale(scaleX * fields::number(text, "scaleX", 1.f), scaleY * fields::number(text, "scaleY", 1.f));
	const std::string font = fields::text(text, "font");
	m_resources->useFont(font.empty() ? std::string("FONT_BASIC_DEFAULT") : font);
	const float bx = x + fields::number(text, "x", 0.f), by = y + fields::number(text, "y", 0.f);
	gr::RenderState2D& rs = m_context->getRenderState2D();

	if (fields::isTrue(text, "clipped"))
	{
		if (!text.isTable("lines"))
			return 0;
		const lua::LuaTable lines = text.getTable("lines");
		AlphaRestore restore(m_context, hasAlpha ? 1.f : rs.alphaFactor);
		if (hasAlpha)
			rs.alphaFactor = alpha;
		for (int i = 1; !lines.isNil(i); ++i)
		{
			// entry.draw(entry, x, y, scale x, scale y, angle)
			const lua::LuaTable entry = lines.getTable(i);
			state->pushTable(entry);
			state->pushString("draw");
			state->getTable(-2);
			state->pushTable(entry);
			state->pushNumber(bx);
			state->pushNumber(by);
			state->pushNumber(scale.x);
			state->pushNumber(scale.y);
			state->pushNumber(angle);
			state->call(6, 0);
			state->pop(1);
		}
		return 0;
	}

	math::float2 p(bx / scale.x, by / scale.y);
	if (fields::isTrue(text, "floorCoordinates"))
		p = math::float2(std::floor(p.x), std::floor(p.y));
	rs.scale = scale;
	const float c = std::cos(angle), s = std::sin(angle);
	rs.angle = angle;
	rs.rotation[0] = c, rs.rotation[1] = s, rs.rotation[2] = -s, rs.rotation[3] = c;
	math::float2 pivot(0.f, 0.f);
	if (!fields::read(text, "rotationPivotX", pivot.x) || !fields::read(text, "rotationPivotY", pivot.y))
		pivot = math::float2(0.f, 0.f);
	rs.pivot = pivot;
	const bool fade = hasAlpha && alpha < 1.f;
	AlphaRestore restore(m_context, fade ? 1.f : rs.alphaFactor);
	if (fade)
		rs.alphaFactor = alpha;
	game::Anchor anchor;
	anchor.fromString(fields::text(text, "hanchor").c_str());
	anchor.fromString(fields::text(text, "vanchor").c_str());
	m_resources->drawString(fields::text(text, "group"), fields::text(text, "text"), p.x, p.y, anchor);
	return 0;
}

namespace
{
// Puts the projection, the 3-D transform and the alpha back on every way out.
class PerspectiveScope
{
public:
	explicit PerspectiveScope(gr::Context* context) :
		m_context(context),
		m_projection(context->projectionTransform()),
		m_useTransform(context->getRenderState2D().useTransform),
		m_transform(context->getRenderState2D().worldTransform),
		m_alpha(context->getRenderState2D().alphaFactor)
	{
		m_context->flush();
	}
	~PerspectiveScope()
	{
		m_context->flush();
		gr::RenderState2D& rs = m_context->getRenderState2D();
		rs.useTransform = m_useTransform;
		rs.worldTransform = m_transform;
		rs.alphaFactor = m_alpha;
		m_context->setProjection(m_projection);
	}

private:
	gr::Context* m_context;
	math::float4x4 m_projection;
	bool m_useTransform;
	math::float4x4 m_transform;
	float m_alpha;
};
}

void GameLua::drawString3D(const std::string& group, const std::string& text, float x, float y, float z, float angle,
	float textX, float textY, float alpha)
{
	PerspectiveScope scope(m_context);
	m_context->setPerspectiveProjection(-1.5f, 0.001f, 2000.f, -1.33f);
	math::float4x4 m(1.f);
	m.setRotation(math::float3(1.f, 0.f, 0.f), angle);
	m.setTranslation(math::float3(x, y, z));
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.useTransform = true;
	rs.worldTransform = m;
	rs.alphaFactor = alpha;
	m_resources->drawString(group, text, textX, textY, game::Anchor());
}

void GameLua::clipText(const std::string& group, const std::string& key, float maxWidth)
{
	const std::basic_string<unsigned> text = lang::string::toUTF32string(m_resources->getString(group, key));
	const size_t n = text.size();
	auto width = [&](size_t begin, size_t end) {
		return float(m_resources->getStringWidth(lang::string::toUTF8string(text.substr(begin, end - begin)), 0, INT_MAX));
	};

	lua::LuaTable lines(getState());
	float widest = 0.f;
	int lineCount = 0;
	size_t start = 0;
	while (start < n)
	{
		size_t end = start, next = n, pos = start;
		float lineWidth = 0.f;
		bool accepted = false;
		for (;;)
		{
			size_t b = pos;
			while (b < n && !isBreak(text[b]))
				++b;
			// A hyphen stays with the word it closes.
			const size_t wordEnd = b < n && text[b] == 45 ? b + 1 : b;
			const float w = width(start, wordEnd);
			if (w < maxWidth)
			{
				accepted = true;
				end = wordEnd;
				lineWidth = w;
				if (b >= n)
				{
					next = n;
					break;
				}
				if (text[b] == 10)
				{
					next = b + 1;
					break;
				}
				pos = b + 1;
				continue;
			}
			if (accepted)
			{
				// The space at the wrap point belongs to neither line.
				next = end < n && (text[end] == 32 || text[end] == 0x200B) ? end + 1 : end;
				break;
			}
			if (start < n && text[start] == 10)
			{
				// An empty line of its own.
				end = start;
				next = start + 1;
				break;
			}
			// One word wider than the line: cut it, keeping at least one code point.
			end = start + 1;
			lineWidth = width(start, end);
			for (size_t k = start + 2; k <= std::max(wordEnd, start + 1); ++k)
			{
				const float wk = width(start, k);
				if (!(wk < maxWidth))
					break;
				end = k;
				lineWidth = wk;
			}
			next = end;
			break;
		}
		lines.setString(++lineCount, lang::string::toUTF8string(text.substr(start, end - start)));
		if (lineWidth > widest)
			widest = lineWidth;
		start = next;
	}
	m_clippedText.setNumber("widestLine", widest);
	m_clippedText.setTable("lines", lines);
}
