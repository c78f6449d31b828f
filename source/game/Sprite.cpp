#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <gr/Texture.h>
#include <math/float3.h>

namespace game
{
Sprite::Sprite(SpriteSheet* sheet, const std::string& name, int x, int y, int width, int height, int pivotX, int pivotY) :
	m_sheet(sheet),
	m_image(sheet ? sheet->getImage() : nullptr),
	m_name(name),
	m_x(short(x)),
	m_y(short(y)),
	m_width(short(width)),
	m_height(short(height)),
	m_pivotX(short(pivotX)),
	m_pivotY(short(pivotY))
{
	// Coordinates are relative to the texture, which may be larger than the image.
	float w = 0.f, h = 0.f;
	if (m_image)
	{
		if (gr::Texture* t = m_image->getTexture())
			w = float(t->width()), h = float(t->height());
		else
			w = float(m_image->width()), h = float(m_image->height());
	}
	const float u0 = w > 0.f ? m_x / w : 0.f, u1 = w > 0.f ? (m_x + m_width) / w : 0.f;
	const float v0 = h > 0.f ? m_y / h : 0.f, v1 = h > 0.f ? (m_y + m_height) / h : 0.f;
	m_uv[0] = math::float2(u0, v0);
	m_uv[1] = math::float2(u1, v0);
	m_uv[2] = math::float2(u0, v1);
	m_uv[3] = math::float2(u1, v1);
}

Sprite::~Sprite() {}

void Sprite::draw(gr::Context* context, float x, float y, Anchor anchor) const
{
	draw(context, x, y, float(m_width), float(m_height), anchor);
}

void Sprite::draw(gr::Context* context, float x, float y, float w, float h, Anchor anchor) const
{
	switch (anchor.vertical)
	{
	case Anchor::VCENTER: y -= float(m_height >> 1); break;
	case Anchor::BOTTOM: y -= float(m_height); break;
	case Anchor::BASELINE:
	case Anchor::VPIVOT: y -= float(m_pivotY); break;
	default: break;
	}
	switch (anchor.horizontal)
	{
	case Anchor::HCENTER: x -= float(m_width >> 1); break;
	case Anchor::RIGHT: x -= float(m_width); break;
	case Anchor::HPIVOT: x -= float(m_pivotX); break;
	default: break;
	}
	if (m_image)
		m_image->draw(context, x, y, w, h, m_uv);
}

void Sprite::draw(gr::Context* context, const Transform& transform, const math::float2* corners, gr::Shader* shader, const math::float4* colours) const
{
	if (!m_image)
		return;
	const math::float3x4& m = transform.tm;
	math::float3 p[4];
	for (int i = 0; i < 4; ++i)
	{
		const float x = corners[i].x, y = corners[i].y;
		if (transform.mode == 0)
			p[i] = math::float3(m(0, 0) * x + m(0, 1) * y + m(0, 3), m(1, 0) * x + m(1, 1) * y + m(1, 3), 0.f);
		else
			p[i] = math::float3(m(0, 0) * x + m(0, 1) * y + m(0, 3), m(1, 0) * x + m(1, 1) * y + m(1, 3), m(2, 0) * x + m(2, 1) * y + m(2, 3));
	}
	if (colours)
		m_image->draw(context, p, m_uv, colours, shader);
	else
		m_image->draw(context, p, m_uv, shader);
}
}
