#include <game/CompoSprite.h>
#include <gr/Context.h>
#include <algorithm>
#include <climits>

namespace game
{
CompoSprite::CompoSprite() : m_width(0), m_height(0), m_pivotX(0), m_pivotY(0) {}

CompoSprite::~CompoSprite() {}

void CompoSprite::addSprite(const std::string& name, float x, float y, Sprite* sprite)
{
	m_entries.push_back(Entry{name, sprite, x, y});
	int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
	for (const Entry& e : m_entries)
	{
		const Sprite& s = *e.sprite;
		const int ix = int(e.x), iy = int(e.y);
		left = std::min(left, ix - s.getPivotX());
		top = std::min(top, iy - s.getPivotY());
		right = std::max(right, ix + s.getWidth() - s.getPivotX());
		bottom = std::max(bottom, iy + s.getHeight() - s.getPivotY());
	}
	m_width = right - left;
	m_height = bottom - top;
	m_pivotX = -left;
	m_pivotY = -top;
}

void CompoSprite::draw(gr::Context* context, float x, float y, Anchor anchor) const
{
	if (m_entries.empty())
		return;
	switch (anchor.vertical)
	{
	case Anchor::TOP: y += float(m_pivotY); break;
	case Anchor::VCENTER: y += float(m_pivotY - (m_height >> 1)); break;
	case Anchor::BOTTOM: y += float(m_pivotY - m_height); break;
	default: break;
	}
	switch (anchor.horizontal)
	{
	case Anchor::LEFT: x += float(m_pivotX); break;
	case Anchor::HCENTER: x += float(m_pivotX - (m_width >> 1)); break;
	case Anchor::RIGHT: x += float(m_pivotX - m_width); break;
	default: break;
	}
	const Anchor pivot(Anchor::VPIVOT, Anchor::HPIVOT);
	gr::RenderState2D& rs = context->getRenderState2D();
	if (rs.angle == 0.f)
	{
		for (const Entry& e : m_entries)
			e.sprite->draw(context, x + e.x, y + e.y, pivot);
		return;
	}
	// Rotated: each part turns about its own pivot, placed along the turned offset.
	const float c = rs.rotation[0], s = rs.rotation[1];
	const math::float2 saved = rs.pivot;
	for (const Entry& e : m_entries)
	{
		rs.pivot = math::float2(float(e.sprite->getPivotX()), float(e.sprite->getPivotY()));
		e.sprite->draw(context, x + c * e.x - s * e.y, y + s * e.x + c * e.y, pivot);
	}
	rs.pivot = saved;
}
}
