#ifndef GR_CONTEXT_H
#define GR_CONTEXT_H

#include <gr/BaseTexture.h>
#include <gr/Image.h>
#include <gr/Primitive.h>
#include <gr/Rect.h>
#include <gr/RenderState2D.h>
#include <gr/Shader.h>
#include <gr/SurfaceFormat.h>
#include <gr/Texture.h>
#include <gr/VertexFormat.h>
#include <io/FileFormat.h>
#include <io/InputStream.h>
#include <io/OutputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float3x4.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <string>

namespace gr
{
/**
 * The abstract graphics device. Factory operations return new objects
 * whose count is 0: put them into a lang::Ptr at once. Unsupported
 * requests and bad data throw gr::GraphicsException.
 */
class Context : public lang::Object
{
public:
	/** Per-frame counters; the back ends add to them, the application resets them once per frame. */
	struct Statistics
	{
		int unused1;
		int unused2;
		/** Vertices drawn by primitive renders (vertex range lengths). */
		int vertices;
		/** Triangles drawn by primitive renders. */
		int triangles;
		/** Primitive draw calls. */
		int primitives;
		/** Image quads given to the 2-D batcher. */
		int imageQuads;
		/** Batches of image quads flushed. */
		int imageBatches;
		/** Bytes of texture memory created. */
		int textureBytes;
		int textures;
		/** Bytes of image memory created. */
		int imageBytes;
		int images;

		Statistics() { reset(); }
		void reset();
	};

	/** 0 is fixed function; 1 to 4 are programmable-shader platforms. */
	enum PlatformType : int
	{
		PLATFORM_GLES1 = 0,
		PLATFORM_GLES2 = 1,
		PLATFORM_2 = 2,
		PLATFORM_3 = 3,
		PLATFORM_4 = 4,
	};

	/** The landscape orientations swap the given width and height. */
	enum OrientationType : int
	{
		ORIENTATION_PORTRAIT = 0,
		ORIENTATION_LANDSCAPE_RIGHT = 1,
		ORIENTATION_PORTRAIT_UPSIDE_DOWN = 2,
		ORIENTATION_LANDSCAPE_LEFT = 3,
	};

	enum UsageFlags : int
	{
		USAGE_NONE = 0,
		/** Textures and images made from image files. */
		USAGE_FROMFILE = 0x02,
		/** The pooled primitives of getDynamicPrimitive. */
		USAGE_DYNAMIC = 0x04,
		USAGE_RENDERTARGET = 0x08,
		USAGE_RENDERTARGET_B = 0x10,
	};

	/** The scope of one frame's drawing: beginScene() now, endScene() at its end. */
	class RenderScene
	{
	public:
		explicit RenderScene(Context* context);
		~RenderScene();

	private:
		lang::Ptr<Context> m_context;

		RenderScene(const RenderScene&) = delete;
		RenderScene& operator=(const RenderScene&) = delete;
	};

	~Context() override;

	/** name is the shader path without extension; throws when there is no such shader. */
	virtual Shader* createShader(const std::string& name, int flags) = 0;
	/** A texture loaded from an image file of the bundle, in a format the device supports. */
	virtual Texture* createTexture(const std::string& fileName) = 0;
	virtual Texture* createTexture(int width, int height, int mipLevels, const SurfaceFormat& format, int usageFlags) = 0;
	/** Not supported: throws GraphicsException. */
	virtual BaseTexture* createCubeTexture(const std::string& fileName) = 0;
	/** An image decoded from in; name gives the file type by its extension. */
	virtual Image* createImage(io::InputStream& in, const std::string& name) = 0;
	virtual Image* createImage(int width, int height, int mipLevels, const SurfaceFormat& format, UsageFlags usage) = 0;
	/** indices 0 = not indexed. */
	virtual Primitive* createPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices, UsageFlags usage) = 0;
	/** A pooled primitive owned by the context, with at least the given room. */
	virtual Primitive* getDynamicPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices) = 0;
	virtual void begin2D() = 0;
	virtual void end2D() = 0;
	virtual void drawLine2D(unsigned int argb, int x0, int y0, int x1, int y1, int width) = 0;
	virtual void drawLine2D(unsigned int argb, int* points, int count, int width) = 0;
	virtual void drawCircle2D(unsigned int argb, int x, int y, int radius, int width) = 0;
	virtual void fillTriangle2D(unsigned int argb, int x0, int y0, int x1, int y1, int x2, int y2) = 0;
	virtual void fillRect2D(unsigned int argb, int x, int y, int width, int height) = 0;
	virtual void fillCircle2D(unsigned int argb, int x, int y, int radius) = 0;
	virtual void texturizeTriangle2D(Image* image, const math::float4& colour, int x0, int y0, int x1, int y1, int x2, int y2) = 0;
	/**
	 * The rectangle x, y, width x height (pixels, under the 2-D render state) textured with the
	 * region uvRect = (u0, v0, u1, v1) of image, in fractions of the image's own size.
	 */
	virtual void texturizeRect2D(Image* image, const math::float4& uvRect, int x, int y, int width, int height) = 0;
	virtual void texturizeCircle2D(Image* image, const math::float4& colour, int x, int y, int radius) = 0;
	/** The current 2-D state, modifiable in place. */
	virtual RenderState2D& getRenderState2D() = 0;
	virtual const Rect& viewport() const = 0;
	/** Format of the back buffer. */
	virtual SurfaceFormat surfaceFormat() const = 0;
	/** Surface width in pixels, after the orientation swap. */
	virtual int width() const = 0;
	virtual int height() const = 0;
	/** Seconds, as last given to setTime. */
	virtual float time() const = 0;
	virtual const math::float3x4& customModelTransform() const = 0;
	virtual bool customModelTransformEnabled() const = 0;
	virtual const math::float4x4& projectionTransform() const = 0;
	virtual const math::float2& getFovScaleBias() const = 0;
	virtual PlatformType platform() const = 0;
	virtual OrientationType orientation() const = 0;
	/** The frame loop steps the application only while this is true. */
	virtual bool ready() const = 0;
	/** Folder of the shader files. */
	virtual const std::string& shaderPath() const = 0;
	virtual void setRenderState2D(const RenderState2D& state) = 0;
	virtual void setViewport(const Rect& rect) = 0;
	virtual void setClipRect(const Rect& rect) = 0;
	/** Null is the screen. */
	virtual void setRenderTarget(Texture* target) = 0;
	virtual void setWireframeEnabled(bool enabled) = 0;
	virtual void setOrientation(OrientationType orientation) = 0;
	virtual void setFovScaleBias(const math::float2& scaleBias) = 0;
	virtual void setCustomModelTransform(const math::float3x4& transform) = 0;
	virtual void setCustomModelTransformEnabled(bool enabled) = 0;
	virtual void setPerspectiveProjection(float fovy, float front, float back, float aspect) = 0;
	/** The identity projection. */
	virtual void setOrthographicProjection() = 0;
	virtual void setProjection(const math::float4x4& projection) = 0;
	virtual void setTime(float time) = 0;
	virtual void setShaderPath(const std::string& path) = 0;
	/** New surface size (swapped for landscape); a changed size resets the viewport to the whole surface. */
	virtual void reset(int width, int height) = 0;
	virtual void beginScene() = 0;
	virtual void endScene() = 0;
	virtual void reloadShaders() = 0;
	/** Flushes pending 2-D drawing and shows the frame. */
	virtual void present() = 0;
	virtual void clear(unsigned int argb, bool colour, bool depth, bool stencil) = 0;
	/** Writes the frame buffer to a file. */
	virtual void capture(const std::string& fileName) = 0;
	/** Writes the frame buffer to a stream as an image file. */
	virtual void capture(io::OutputStream& out, io::FileFormat format) = 0;
	/**
	 * Copies the frame buffer into target, or into a new image of the screen's size and
	 * format when target is null (count 0: hold it in a lang::Ptr). Returns the image.
	 */
	virtual Image* capture(Image* target) = 0;
	virtual void flipWindingOrder() = 0;
	/** Flushes pending 2-D drawing. */
	virtual void flush() = 0;
	/**
	 * Places the screen surface (the size reset gave) inside a larger window frame buffer of
	 * framebufferWidth x framebufferHeight, its top-left at (left, top) from the frame buffer's top-left:
	 * a letterbox. The rest is cleared black at the start of every scene. The default does nothing.
	 */
	virtual void setScreenPlacement(int left, int top, int framebufferWidth, int framebufferHeight);
	/** Releases the device's resources until resumeContext(). */
	virtual void hibernateContext();
	virtual void resumeContext();
	/** Named snapshots of the back end's render-state cache. */
	virtual void saveCachedState(const std::string& name);
	virtual void restoreCachedState(const std::string& name);
	virtual void resetCachedState();

	/** createImage from a file of the bundle; a missing file throws io::IOException. */
	Image* createImagefromBundle(const std::string& name);

	/** True when textures keep a system-memory copy to survive hibernation. */
	bool isTextureShadowingEnabled() const { return m_textureShadowing; }

	Statistics& statistics() { return m_statistics; }
	const Statistics& statistics() const { return m_statistics; }

protected:
	Context() : m_textureShadowing(false) {}

	Statistics m_statistics;
	bool m_textureShadowing;
};

inline Context::UsageFlags operator|(Context::UsageFlags a, Context::UsageFlags b)
{
	return Context::UsageFlags(int(a) | int(b));
}
}

#endif
