#include "MaskedImage.h"

#include <game/Sprite.h>
#include <gr/Context.h>
#include <gr/Primitive.h>
#include <gr/Texture.h>
#include <gr/VertexFormat.h>
#include <math/float4x4.h>

namespace
{
std::string shaderName(const gr::Context& context, const char* name)
{
	std::string path = context.shaderPath();
	if (!path.empty() && path.back() != '/')
		path += '/';
	return path + name;
}

// Size of the texture behind an image; a back end without one samples the image itself.
void textureSize(const gr::Image& image, float& width, float& height)
{
	if (const gr::Texture* texture = image.getTexture())
	{
		width = float(texture->width());
		height = float(texture->height());
	}
	else
	{
		width = float(image.width());
		height = float(image.height());
	}
}
}

MaskedImage::MaskedImage(gr::Context* context) : m_context(context)
{
	switch (context->platform())
	{
	case gr::Context::PLATFORM_GLES2:
	case gr::Context::PLATFORM_3:
	case gr::Context::PLATFORM_4:
		m_shader = context->createShader(shaderName(*context, "2d-sprite-alpha-masked"), 0);
		break;
	case gr::Context::PLATFORM_GLES1:
	case gr::Context::PLATFORM_2:
		// Stage 0 gives the colour, stage 1 cuts the alpha.
		m_shader = context->createShader(shaderName(*context, "sprite-straightalpha"), 0);
		break;
	}
}

MaskedImage::~MaskedImage() = default;

void MaskedImage::add(float x, float y, gr::Image* image, game::Sprite* sprite, float scaleX, float scaleY)
{
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	const float w = float(sprite->getWidth());
	const float h = float(sprite->getHeight());
	const float left = x - float(sprite->getPivotX());
	const float top = y - float(sprite->getPivotY());
	const float qx[4] = {0.f, w, 0.f, w};
	const float qy[4] = {0.f, 0.f, h, h};

	// Placed as the image drawing of the back ends places a sprite, so masked and plain objects line up.
	const float kx = 2.f * rs.scale.x / float(m_context->width());
	const float ky = -2.f * rs.scale.y / float(m_context->height());
	math::float4 corner[4];
	for (int i = 0; i < 4; ++i)
	{
		float X = left + qx[i] + rs.translation.x;
		float Y = top + qy[i] + rs.translation.y;
		if (rs.angle != 0.f)
		{
			const float px = rs.pivot.x;
			const float py = rs.pivot.y;
			const float* r = rs.rotation;
			X = px + left + rs.translation.x + r[0] * (qx[i] - px) + r[2] * (qy[i] - py);
			Y = py + top + rs.translation.y + r[1] * (qx[i] - px) + r[3] * (qy[i] - py);
		}
		corner[i] = math::float4(kx * X - 1.f, ky * Y + 1.f, 0.001f, 1.f);
	}
	bool left1 = true, below1 = true, right1 = true, above1 = true;
	for (const math::float4& c : corner)
	{
		left1 = left1 && c.x < -1.f;
		below1 = below1 && c.y < -1.f;
		right1 = right1 && c.x >= 1.f;
		above1 = above1 && c.y >= 1.f;
	}
	if (left1 || below1 || right1 || above1)
		return;

	// Objects of one texture may come from two sheets: keep each batch to one pair of images.
	gr::Image* mask = sprite->getImage();
	if ((m_image && m_image != image) || (m_mask && m_mask != mask))
		render();
	if (!m_image)
	{
		m_image = image;
		m_mask = mask;
		// The material follows the world position, so neighbouring objects join without a seam.
		float tw, th;
		textureSize(*image, tw, th);
		const float iw = float(image->width());
		const float ih = float(image->height());
		m_materialScale = math::float2(tw / (iw * iw), th / (ih * ih));
		float mw, mh;
		textureSize(*mask, mw, mh);
		m_maskScale = math::float2(1.f / mw, 1.f / mh);
	}
	const float su = m_materialScale.x * scaleX;
	const float sv = m_materialScale.y * scaleY;
	const float mw = m_maskScale.x;
	const float mh = m_maskScale.y;
	const float u0 = float(sprite->getPositionInSheetX()) * mw;
	const float v0 = float(sprite->getPositionInSheetY()) * mh;
	const float u1 = float(sprite->getPositionInSheetX() + sprite->getWidth()) * mw;
	const float v1 = float(sprite->getPositionInSheetY() + sprite->getHeight()) * mh;
	const math::float2 maskUV[4] = {math::float2(u0, v0), math::float2(u1, v0), math::float2(u0, v1), math::float2(u1, v1)};

	static const int TRIANGLES[6] = {0, 1, 2, 2, 1, 3};
	for (int i : TRIANGLES)
	{
		m_positions.push_back(corner[i]);
		m_uv0.push_back(math::float2((left + qx[i]) * su, (top + qy[i]) * sv));
		m_uv1.push_back(maskUV[i]);
	}
}

void MaskedImage::render()
{
	if (m_positions.empty())
		return;
	const int count = static_cast<int>(m_positions.size());
	gr::Primitive* primitive = nullptr;
	if (m_shader)
	{
		// Sprites queued before the batch are drawn under it.
		m_context->flush();
		m_shader->setTexture("BASEMAP", m_image->getTexture());
		m_shader->setTexture("BASEMAP1", m_mask->getTexture());
		m_shader->setFloat("ALPHA_FACTOR", m_context->getRenderState2D().alphaFactor);
		m_shader->setMatrix("PROJTM", m_context->projectionTransform());

		gr::VertexFormat format;
		format.addPosition(gr::VertexFormat::DF_FLOAT4);
		format.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
		format.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
		primitive = m_context->getDynamicPrimitive(gr::Primitive::PRIM_TRIANGLES, format, count, 0);
	}
	if (primitive)
	{
		{
			gr::ContextObject::Lock lock(primitive, gr::ContextObject::LOCK_WRITE);
			primitive->setVertexData(gr::VertexFormat::DT_POSITION, 0, m_positions.data(), gr::VertexFormat::DF_FLOAT4, count);
			primitive->setVertexData(gr::VertexFormat::DT_TEX0, 0, m_uv0.data(), gr::VertexFormat::DF_FLOAT2, count);
			primitive->setVertexData(gr::VertexFormat::DT_TEX1, 0, m_uv1.data(), gr::VertexFormat::DF_FLOAT2, count);
			primitive->setVertexRangeBegin(0);
			primitive->setVertexRangeEnd(count);
		}
		m_context->setOrthographicProjection();
		primitive->setShader(m_shader);
		// The fixed-function shaders take matrices only between begin and end.
		const int passes = m_shader->begin();
		m_shader->setMatrix(gr::Shader::PARAM_WORLDTM, math::float4x4(1.f));
		m_shader->setMatrix(gr::Shader::PARAM_VIEWTM, math::float4x4(1.f));
		for (int i = 0; i < passes; ++i)
		{
			m_shader->beginPass(i);
			primitive->render();
			m_shader->endPass();
		}
		m_shader->end();
	}
	m_positions.clear();
	m_uv0.clear();
	m_uv1.clear();
	m_image = nullptr;
	m_mask = nullptr;
}
