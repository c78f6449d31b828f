#ifndef GR_GL_STATE_H
#define GR_GL_STATE_H

#include <gr/gl/GL_Functions.h>
#include <gr/Rect.h>
#include <math/float4x4.h>
#include <cstddef>
#include <string>
#include <utility>

namespace gr
{
namespace GR_GL_NS
{
/**
 * A complete render state, and through sm_current the process-wide record of what the GL
 * holds. Every state change of the back end goes through the static accessors, which call
 * OpenGL ES only when the value differs from the record.
 */
class GL_State
{
public:
	/**
	 * The enabled capabilities, keyed by the GL enable enum (GL_TEXTURE_2D has one key per
	 * unit, GL_TEXTURE_2D + unit). A fixed table of the back end's keys: looking a key up is a
	 * compiled switch, and copying a state copies no heap memory.
	 */
	class CapTable
	{
	public:
		typedef std::pair<GLenum, bool> value_type;
		enum { COUNT = GR_GL_VERSION == 1 ? 42 : 18 };

		/** The default table: every key false except GL_MULTISAMPLE on 1.1. */
		CapTable();

		/** Index of the key in the table, -1 when the back end does not cache it. */
		static int slot(GLenum key);

		size_t size() const { return COUNT; }
		size_t count(GLenum key) const { return slot(key) >= 0 ? 1 : 0; }
		/** The key's value; a key outside the table throws std::out_of_range. */
		bool at(GLenum key) const;
		/** The key's value, to change; the key must be in the table. */
		bool& operator[](GLenum key);
		/** The key's value, or null when the key is not in the table. */
		bool* find(GLenum key)
		{
			const int i = slot(key);
			return i < 0 ? nullptr : &m_entries[i].second;
		}
		const value_type* begin() const { return m_entries; }
		const value_type* end() const { return m_entries + COUNT; }

	private:
		value_type m_entries[COUNT];
	};

	enum
	{
		TEXTURE_UNITS = 8,
		MATRIX_MODELVIEW = 0,
		MATRIX_PROJECTION = 1,
		MATRIX_TEXTURE0 = 2,
		MATRIX_COUNT = 2 + TEXTURE_UNITS,
		BUFFER_ARRAY = 0,
		BUFFER_ELEMENT_ARRAY = 1,
	};

	static const math::float4x4 IDENTITY;

	/** What the GL holds now (one record per back end, render thread only). */
	static GL_State sm_current;

	bool m_cullFaceEnabled;
	GLenum m_cullFace;
	bool m_depthTest;
	bool m_depthMask;
	GLenum m_depthFunc;
	bool m_blend;
	GLenum m_blendEquation;
	GLenum m_blendSrc;
	GLenum m_blendDst;
	GLuint m_program;
	/** Enabled capabilities; GL_TEXTURE_2D has one key per unit (GL_TEXTURE_2D + unit). */
	CapTable m_caps;
	/** Model-view, projection, then the texture matrix of each unit. */
	math::float4x4 m_matrices[MATRIX_COUNT];
	/** Stored as (x, y, x + width, y + height). */
	gr::Rect m_viewport;
	gr::Rect m_scissor;
	GLenum m_clientActiveTexture;
	GLenum m_activeTexture;
	GLuint m_bindedTexture[TEXTURE_UNITS];
	GLenum m_frontFace;
	bool m_vertexArray;
	bool m_normalArray;
	bool m_colorArray;
#if GR_GL_VERSION == 1
	GLenum m_matrixMode;
	GLenum m_requestedMatrixMode;
	bool m_pointSizeArray;
#endif
	bool m_texCoordArray[TEXTURE_UNITS];
	GLuint m_boundBuffer[2];
	float m_clearColor[4];
	float m_lineWidth;

	/** The default state: what a new OpenGL ES context holds, as far as the back end uses it. */
	GL_State();

	/**
	 * Applies this state's cull, depth and blend settings (gles2: also program and blend
	 * equation) through the cache. With force every setting but the capabilities is sent even
	 * when the cache already holds it.
	 */
	void begin(bool force) const;

	/** The cache forgets what the GL holds and returns to the defaults; no GL call. */
	static void reset();

	static void enable(GLenum cap);
	static void disable(GLenum cap);
	static bool isEnabled(GLenum cap);
	static void frontFace(GLenum mode);
	static void cullFace(GLenum mode);
	static void depthMask(bool flag);
	static void depthFunc(GLenum func);
	static void blendFunc(GLenum src, GLenum dst);
	static void viewport(int x, int y, int width, int height);
	static void scissor(int x, int y, int width, int height);
	static void clearColor(float r, float g, float b, float a);
	static void lineWidth(float width);
	/** texture is GL_TEXTURE0 + unit, unit below 8. */
	static void activeTexture(GLenum texture);
	/** Binds GL_TEXTURE_2D of the active unit. */
	static void bindTexture(GLuint name);
	/** target GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER. */
	static void bindBuffer(GLenum target, GLuint buffer);

#if GR_GL_VERSION == 1
	/** The mode loadMatrixf loads into; glMatrixMode is sent by loadMatrixf when needed. */
	static void setMatrixMode(GLenum mode);
	/** Loads the row-major matrix into the requested mode's slot when it differs from the cached one. */
	static void loadMatrixf(const math::float4x4& m);
	static void enableClientState(GLenum array);
	static void disableClientState(GLenum array);
	static void clientActiveTexture(GLenum texture);
#else
	static void blendEquation(GLenum mode);
	static void useProgram(GLuint program);

	/**
	 * Sets one render-state field from an effect file's pass (keys such as "EnableBlending",
	 * values such as "TRUE" or "ONE_MINUS_SRC_ALPHA"; case-sensitive). An unknown key or
	 * value throws gr::GraphicsException.
	 */
	void parse(const std::string& key, const std::string& value);
#endif

private:
	static void setCap(GLenum cap, bool value, const char* operation);
	static int activeUnit();
#if GR_GL_VERSION == 1
	static void setClientState(GLenum array, bool value, const char* operation);
#endif
};

#if GR_GL_VERSION == 2
// Keywords of the effect render-state values (null-terminated) and the GL enums they stand for.
extern const char* const CullFaceNames[];
extern const GLenum CullFaceValues[];
extern const char* const DepthFuncNames[];
extern const GLenum DepthFuncValues[];
extern const char* const BlendEquationNames[];
extern const GLenum BlendEquationValues[];
extern const char* const BlendFuncSrcNames[];
extern const GLenum BlendFuncSrcValues[];
extern const char* const BlendFuncDstNames[];
extern const GLenum BlendFuncDstValues[];

/** "TRUE" or "FALSE"; anything else throws gr::GraphicsException "Unsupported value". */
bool parseBoolean(const std::string& value);
/** The value at the index of `value` in the null-terminated names; unknown names throw. */
GLenum parseValue(const std::string& value, const char* const* names, const GLenum* values);
#endif
}
}

#endif
