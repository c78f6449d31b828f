#ifndef GR_GL_RENDERBATCHER_H
#define GR_GL_RENDERBATCHER_H

#include <gr/gl/GL_config.h>
#include <gr/Image.h>
#include <gr/RenderState2D.h>
#include <gr/Shader.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float3.h>
#include <math/float4.h>
#include <vector>

namespace gr
{
class Context;

namespace GR_GL_NS
{
/**
 * Joins consecutive 2-D pieces (lines, filled quads, image quads) that share a kind, an
 * image, a clip rectangle and an alpha factor, and draws them together on flush.
 */
class GL_RenderBatcher
{
public:
	enum Type
	{
		TYPE_LINES = 0,
		TYPE_QUADS = 1,
		TYPE_IMAGES = 2,
	};

	explicit GL_RenderBatcher(Context* context);
	~GL_RenderBatcher();

	/** One piece: 2 points for lines, else 4 corners (top-left, top-right, bottom-left, bottom-right). Flushes first when it does not fit the batch. */
	void render(Type type, Shader* shader, const math::float3* positions, const math::float2* texCoords,
		const math::float4* colors, Image* image, int lineWidth);
	/** Appends a piece without testing whether it fits. */
	void add(Type type, Shader* shader, const math::float3* positions, const math::float2* texCoords,
		const math::float4* colors, Image* image, int lineWidth);
	/** Draws and empties the batch. */
	void flush();
	/** Empties the batch without drawing it. */
	void reset();
	Image* getImage() const { return m_image; }

private:
	RenderState2D m_state;
	Type m_type;
	Context* m_context;
	lang::Ptr<Image> m_image;
	lang::Ptr<Shader> m_shader;
	int m_lineWidth;
	std::vector<math::float3> m_positions;
	std::vector<math::float2> m_texCoords;
	std::vector<math::float4> m_colors;
	bool m_enabled;
	// Stand-in drawing until GL primitives and shaders exist (see GL_RenderBatcher.cpp).
	unsigned m_stubProgram;

	void stubDraw();

	GL_RenderBatcher(const GL_RenderBatcher&) = delete;
	GL_RenderBatcher& operator=(const GL_RenderBatcher&) = delete;
};
}
}

#endif
