#ifndef GR_GL_CONTEXT_H
#define GR_GL_CONTEXT_H

#include <gr/gl/GL_RenderBatcher.h>
#include <gr/gl/GL_State.h>
#include <gr/Context.h>
#include <gr/Rect.h>
#include <gr/RenderState2D.h>
#include <gr/Shader.h>
#include <gr/SortBuffer.h>
#include <gr/SurfaceFormat.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float3x4.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <map>
#include <string>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
class GL_Resource;
class GL_Texture;

/**
 * The graphics context over OpenGL ES (one per back end, made by GL_createContext). Final,
 * so the batcher and images reach its state and size per piece without virtual calls.
 */
class GL_Context final : public gr::Context
{
public:
	typedef void (*PresentCallback)();

	/** width and height are already swapped for landscape orientations. */
	GL_Context(int width, int height, OrientationType orientation, PresentCallback present);
	~GL_Context() override;

	Shader* createShader(const std::string& name, int flags) override;
	Texture* createTexture(const std::string& fileName) override;
	Texture* createTexture(int width, int height, int mipLevels, const SurfaceFormat& format, int usageFlags) override;
	BaseTexture* createCubeTexture(const std::string& fileName) override;
	Image* createImage(io::InputStream& in, const std::string& name) override;
	Image* createImage(int width, int height, int mipLevels, const SurfaceFormat& format, UsageFlags usage) override;
	Primitive* createPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices, UsageFlags usage) override;
	Primitive* getDynamicPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices) override;

	void begin2D() override {}
	void end2D() override {}
	void drawLine2D(unsigned int argb, int x0, int y0, int x1, int y1, int width) override;
	void drawLine2D(unsigned int, int*, int, int) override {}
	void drawCircle2D(unsigned int, int, int, int, int) override {}
	void fillTriangle2D(unsigned int, int, int, int, int, int, int) override {}
	void fillRect2D(unsigned int argb, int x, int y, int width, int height) override;
	void fillCircle2D(unsigned int argb, int x, int y, int radius) override;
	void texturizeTriangle2D(Image*, const math::float4&, int, int, int, int, int, int) override {}
	void texturizeRect2D(Image* image, const math::float4& uvRect, int x, int y, int width, int height) override;
	void texturizeCircle2D(Image*, const math::float4&, int, int, int) override {}

	RenderState2D& getRenderState2D() override { return m_renderState; }
	const Rect& viewport() const override { return m_viewport; }
	SurfaceFormat surfaceFormat() const override { return SurfaceFormat(SurfaceFormat::SURFACE_B8G8R8); }
	int width() const override { return m_width; }
	int height() const override { return m_height; }
	float time() const override { return m_time; }
	const math::float3x4& customModelTransform() const override { return m_customModelTransform; }
	bool customModelTransformEnabled() const override { return m_customModelTransformEnabled; }
	const math::float4x4& projectionTransform() const override { return m_projection; }
	const math::float2& getFovScaleBias() const override { return m_fovScaleBias; }
	PlatformType platform() const override;
	OrientationType orientation() const override { return m_orientation; }
	bool ready() const override { return true; }
	const std::string& shaderPath() const override { return m_shaderPath; }

	void setRenderState2D(const RenderState2D& state) override { m_renderState = state; }
	void setViewport(const Rect& rect) override;
	void setClipRect(const Rect& rect) override;
	void setRenderTarget(Texture* texture) override;
	void setWireframeEnabled(bool) override {}
	void setOrientation(OrientationType orientation) override { m_orientation = orientation; }
	void setFovScaleBias(const math::float2& scaleBias) override { m_fovScaleBias = scaleBias; }
	void setCustomModelTransform(const math::float3x4& tm) override { m_customModelTransform = tm; }
	void setCustomModelTransformEnabled(bool enabled) override { m_customModelTransformEnabled = enabled; }
	void setPerspectiveProjection(float fovy, float front, float back, float aspect) override;
	void setOrthographicProjection() override;
	void setProjection(const math::float4x4& projection) override;
	void setTime(float time) override { m_time = time; }
	void setShaderPath(const std::string& path) override { m_shaderPath = path; }
	void reset(int width, int height) override;

	void setScreenPlacement(int left, int top, int framebufferWidth, int framebufferHeight) override;
	void beginScene() override;
	void endScene() override {}
	void reloadShaders() override {}
	void present() override;
	void clear(unsigned int argb, bool colour, bool depth, bool stencil) override;
	void capture(const std::string& fileName) override;
	void capture(io::OutputStream& out, io::FileFormat format) override;
	/** Copies the frame into target; a null target has nowhere to receive it and is ignored. */
	Image* capture(Image* target) override;
	void flipWindingOrder() override;
	void flush() override;

	void hibernateContext() override;
	void resumeContext() override;
	void saveCachedState(const std::string& name) override;
	void restoreCachedState(const std::string& name) override;
	void resetCachedState() override;

	GL_RenderBatcher& getBatcher() { return m_batcher; }
	Shader* getPlainShader();
	Shader* getPlainAlphaShader();
	/** The shaders images are drawn with, opaque and with alpha; made on first use and kept. */
	Shader* getSpriteShader();
	Shader* getSpriteAlphaShader();
	/**
	 * Forgets a texture that is going away (called by its destructor); a render target
	 * that is still bound is unbound first, returning drawing to the screen.
	 */
	void removeTexture(GL_Texture* texture);
	/** True when the extension string holds name as a whole word. */
	bool isExtensionSupported(const char* name) const;
	/** The format a texture or image of `format` gets on this device. */
	SurfaceFormat convertToCompatibleSurfaceFormat(const SurfaceFormat& format) const;

#if GR_GL_VERSION == 1
	/** Stores a fixed-function shader template under its name (replacing one of that name). */
	void addShaderTemplate(Shader* shader);
	void setWorldMatrix(const math::float4x4& m);
	void setViewMatrix(const math::float4x4& m);
	void applyViewMatrix();
	/** Loads view x world x T(y, z, w) x S(x) as the GL model-view matrix. */
	void applyModelViewMatrix(const math::float4& scaleBias);
#endif

	// Inputs of the triangle sorting of primitives, written by the shaders' parameter setters.
	std::vector<math::float4x4> m_boneMatrices;
	math::float4x4 m_sortWorldMatrix;
	math::float4 m_sortCamera;
	SortBuffer m_sortBuffer;

	/** Keeps system-memory copies of texture uploads from now on, so hibernation can rebuild textures. */
	void setTextureShadowingEnabled(bool enabled) { m_textureShadowing = enabled; }

private:
	std::map<std::string, lang::Ptr<Shader>> m_shaders;
	std::vector<lang::Ptr<Primitive>> m_dynamicPrimitives;
	std::map<std::string, GL_State> m_cachedStates;
	GL_RenderBatcher m_batcher;
	RenderState2D m_renderState;
	math::float4x4 m_projection;
	math::float4x4 m_modelView;
	math::float3x4 m_customModelTransform;
	Rect m_viewport;
	int m_width;
	int m_height;
	/** The screen surface in the window's frame buffer; a frame buffer height of 0: the two are one. */
	int m_screenLeft = 0;
	int m_screenTop = 0;
	int m_framebufferWidth = 0;
	int m_framebufferHeight = 0;
	GLenum m_frontFace;
	bool m_customModelTransformEnabled;
	OrientationType m_orientation;
	Texture* m_renderTarget;
	float m_time;
	math::float2 m_fovScaleBias;
	std::string m_shaderPath;
	lang::Ptr<Shader> m_plainShader;
	lang::Ptr<Shader> m_plainAlphaShader;
	lang::Ptr<Shader> m_spriteShader;
	lang::Ptr<Shader> m_spriteAlphaShader;
	std::vector<GL_Texture*> m_shadowedTextures;
#if GR_GL_VERSION == 1
	math::float4x4 m_world;
	math::float4x4 m_view;
	bool m_modelViewDirty;
#endif
	PresentCallback m_present;
	// Whether compressed uploads of DXT formats work, found out on first need (-1 = not yet).
	mutable int m_dxtUploads;

	// Made by the back end's resource sources (textures, images, primitives, effects).
	Primitive* newPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices, int usage);
	static unsigned frameBufferOf(Texture* renderTarget);
#if GR_GL_VERSION == 2
	Shader* newEffectShader(const std::string& basename, int flags, const std::string& effectFile);
#endif

	/** True when the GL takes DXT blocks as they are (asked once, by a test upload). */
	bool acceptsDXT() const;
	/** Height of what is drawn to: the render target, else the screen. */
	int targetHeight() const;
	int targetLeft() const;
	int targetFlip() const;
	Shader* plainShader(lang::Ptr<Shader>& slot, const char* shortName);
	/** Sends a piece through the batcher after the screen-square test; corners in device coordinates. */
	void render2D(int type, const math::float3* positions, int count, unsigned int argb, int lineWidth);

	/** What this context made and still lives (see GL_Resource). */
	friend class GL_Resource;
	GL_Resource* m_resources = nullptr;
	void detachResources();

	GL_Context(const GL_Context&) = delete;
	GL_Context& operator=(const GL_Context&) = delete;

};
}
}

#endif
