#ifndef GR_GL_GL_RENDERBATCHER_H
#define GR_GL_GL_RENDERBATCHER_H

#include <gr/gl/GL_config.h>
#include <gr/Image.h>
#include <gr/RenderState2D.h>
#include <gr/Shader.h>
#include <gr/VertexFormat.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float3.h>
#include <math/float4.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
class GL_Context;

/**
 * Joins consecutive 2-D pieces (lines, fills, image quads) that share a kind, an image, a
 * clip rectangle, an alpha factor, whether they carry colours and, for lines and fills, the
 * shader into one vertex list, drawn
 * with one pooled dynamic primitive when a piece that does not fit arrives or on flush().
 * Positions arrive in device coordinates; nothing is transformed here.
 */
class GL_RenderBatcher
{
public:
	enum Type : int
	{
		TYPE_LINES = 0,
		TYPE_QUADS = 1,
		TYPE_IMAGES = 2,
	};

	explicit GL_RenderBatcher(GL_Context* context);
	~GL_RenderBatcher();

	/**
	 * Submits 2 points (TYPE_LINES) or 4 corners (top-left, top-right, bottom-left,
	 * bottom-right), flushing the pending batch first when the piece does not join it.
	 * texCoords and colors may be null; colours are 0-255 per component.
	 */
	void render(Type type, gr::Shader* shader, const math::float3* positions, const math::float2* texCoords, const math::float4* colors, gr::Image* image, int lineWidth);
	/** Appends the piece to the pending batch without testing whether it fits. */
	void add(Type type, gr::Shader* shader, const math::float3* positions, const math::float2* texCoords, const math::float4* colors, gr::Image* image, int lineWidth);
	/** Draws and empties the pending batch; does nothing from inside a flush or reset. */
	void flush();
	/** Empties the pending batch without drawing it. */
	void reset();

	gr::Image* getImage() const { return m_image; }
	/** Vertices of the pending batch. */
	int vertexCount() const { return int(m_positions.size()); }
	/** Whether a batch whose vertices carry no colours (white) is being drawn. */
	bool drawingUncoloured() const { return !m_enabled && !m_positions.empty() && m_colors.empty(); }

private:
	/** A list that keeps its storage when emptied and never initialises what it hands out. */
	template <class T> class VertexList
	{
	public:
		/** Room for k more elements, to be written by the caller. */
		T* append(size_t k)
		{
			if (m_size + k > m_capacity)
			{
				m_store.resize(std::max(m_capacity * 2, std::max(m_size + k, size_t(64))));
				m_capacity = m_store.size();
			}
			T* p = m_store.data() + m_size;
			m_size += k;
			return p;
		}
		void clear() { m_size = 0; }
		bool empty() const { return m_size == 0; }
		size_t size() const { return m_size; }
		const T* data() const { return m_store.data(); }
		T* data() { return m_store.data(); }

	private:
		std::vector<T> m_store;
		size_t m_size = 0;
		/** m_store.size(), kept at hand for the test of every append. */
		size_t m_capacity = 0;
	};

	gr::RenderState2D m_state;
	Type m_type;
	GL_Context* m_context;
	lang::Ptr<gr::Image> m_image;
	lang::Ptr<gr::Shader> m_shader;
	int m_lineWidth;
	VertexList<math::float3> m_positions;
	VertexList<math::float2> m_texCoords;
	/** Colours already in the drawn form: four bytes per vertex, converted once per corner. */
	VertexList<uint32_t> m_colors;
	bool m_enabled;
	/** Whether the pieces of the pending batch carry colours (then every vertex has one). */
	bool m_hasColors;
	/** Vertex formats of a batch: bit 0 texture coordinates, bit 1 colours. */
	gr::VertexFormat m_formats[4];

	/** Starts a batch with the keys of its first piece and the current 2-D state. */
	void begin(Type type, gr::Shader* shader, bool hasColors, gr::Image* image, int lineWidth);
	/** Appends a piece's vertices (six per quad, as two triangles) to the lists. */
	void appendVertices(Type type, const math::float3* positions, const math::float2* texCoords, const math::float4* colors);
	/** Fills a pooled primitive with the batch and draws it pass by pass. */
	void draw();
#if GR_GL_VERSION == 1
	/** Applies the alpha factor to the vertex colours, which replace the fixed-function current colour. */
	void fadeColours();
#endif
	/** Empties the batch, keeping the lists' storage, and takes requests again. */
	void empty();

	GL_RenderBatcher(const GL_RenderBatcher&) = delete;
	GL_RenderBatcher& operator=(const GL_RenderBatcher&) = delete;
};
}
}

#endif
