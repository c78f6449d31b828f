#include <gr/gl/GL_State.h>
#include <lang/assert.h>
#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "include/gr/gl/GL_State")

static_assert(sizeof(math::float4x4) == 16 * sizeof(float), "matrices are uploaded as 16 floats");

// Defined before sm_current: the default state copies it.
const math::float4x4 GL_State::IDENTITY(1.f);
GL_State GL_State::sm_current;

namespace
{
// GL_SAMPLE_COVERAGE_INVERT, a value of glSampleCoverage, is a key of the table all the same.
#define GR_GL_SAMPLE_COVERAGE_INVERT_KEY 0x80AB

// The capability keys, in table order. GL_TEXTURE_2D has one key per unit.
#if GR_GL_VERSION == 1
#define GR_GL_CAPS(X) \
	X(GL_VERTEX_ARRAY) X(GL_NORMAL_ARRAY) X(GL_COLOR_ARRAY) X(GL_TEXTURE_COORD_ARRAY) X(GL_NORMALIZE) \
	X(GL_RESCALE_NORMAL) X(GL_CLIP_PLANE0) X(GL_CLIP_PLANE1) X(GL_CLIP_PLANE2) X(GL_CLIP_PLANE3) \
	X(GL_CLIP_PLANE4) X(GL_CLIP_PLANE5) X(GL_FOG) X(GL_LIGHTING) X(GL_COLOR_MATERIAL) X(GL_LIGHT0) \
	X(GL_POINT_SMOOTH) X(GL_LINE_SMOOTH) X(GL_MULTISAMPLE) X(GL_SAMPLE_ALPHA_TO_ONE) X(GL_ALPHA_TEST) \
	X(GL_COLOR_LOGIC_OP) X(GL_CULL_FACE) X(GL_POLYGON_OFFSET_FILL) X(GL_SAMPLE_ALPHA_TO_COVERAGE) \
	X(GL_SAMPLE_COVERAGE) X(GR_GL_SAMPLE_COVERAGE_INVERT_KEY) \
	X(GL_TEXTURE_2D + 0) X(GL_TEXTURE_2D + 1) X(GL_TEXTURE_2D + 2) X(GL_TEXTURE_2D + 3) \
	X(GL_TEXTURE_2D + 4) X(GL_TEXTURE_2D + 5) X(GL_TEXTURE_2D + 6) X(GL_TEXTURE_2D + 7) \
	X(GL_SCISSOR_TEST) X(GL_STENCIL_TEST) X(GL_DEPTH_TEST) X(GL_BLEND) X(GL_DITHER) \
	X(GL_POINT_SIZE_ARRAY_OES) X(GL_POINT_SPRITE_OES)
#else
#define GR_GL_CAPS(X) \
	X(GL_CULL_FACE) X(GL_POLYGON_OFFSET_FILL) X(GL_SAMPLE_ALPHA_TO_COVERAGE) X(GL_SAMPLE_COVERAGE) \
	X(GR_GL_SAMPLE_COVERAGE_INVERT_KEY) \
	X(GL_TEXTURE_2D + 0) X(GL_TEXTURE_2D + 1) X(GL_TEXTURE_2D + 2) X(GL_TEXTURE_2D + 3) \
	X(GL_TEXTURE_2D + 4) X(GL_TEXTURE_2D + 5) X(GL_TEXTURE_2D + 6) X(GL_TEXTURE_2D + 7) \
	X(GL_SCISSOR_TEST) X(GL_STENCIL_TEST) X(GL_DEPTH_TEST) X(GL_BLEND) X(GL_DITHER)
#endif

#define GR_GL_CAP_KEY(KEY) GLenum(KEY),
constexpr GLenum CAP_KEYS[] = {GR_GL_CAPS(GR_GL_CAP_KEY)};
#undef GR_GL_CAP_KEY
static_assert(sizeof(CAP_KEYS) / sizeof(CAP_KEYS[0]) == GL_State::CapTable::COUNT, "the capability table");

constexpr int capIndex(GLenum key)
{
	for (int i = 0; i < GL_State::CapTable::COUNT; ++i)
		if (CAP_KEYS[i] == key)
			return i;
	return -1;
}

#if GR_GL_VERSION == 1
bool sameMatrix(const math::float4x4& a, const math::float4x4& b)
{
	return std::memcmp(a.data(), b.data(), sizeof(float) * 16) == 0;
}
#endif
}

GL_State::CapTable::CapTable()
{
	for (int i = 0; i < COUNT; ++i)
		m_entries[i] = value_type(CAP_KEYS[i], false);
#if GR_GL_VERSION == 1
	(*this)[GL_MULTISAMPLE] = true;
#endif
}

int GL_State::CapTable::slot(GLenum key)
{
	// A switch the compiler turns into a few comparisons; duplicate keys would not compile.
	switch (key)
	{
#define GR_GL_CAP_CASE(KEY) case KEY: return std::integral_constant<int, capIndex(KEY)>::value;
		GR_GL_CAPS(GR_GL_CAP_CASE)
#undef GR_GL_CAP_CASE
	default: return -1;
	}
}

bool GL_State::CapTable::at(GLenum key) const
{
	const int i = slot(key);
	if (i < 0)
		throw std::out_of_range("GL_State::CapTable::at");
	return m_entries[i].second;
}

bool& GL_State::CapTable::operator[](GLenum key)
{
	const int i = slot(key);
	LANG_ASSERT(i >= 0);
	return m_entries[i].second;
}

GL_State::GL_State() :
	m_cullFaceEnabled(true),
	m_cullFace(GL_BACK),
	m_depthTest(true),
	m_depthMask(true),
	m_depthFunc(GL_LESS),
	m_blend(false),
#if GR_GL_VERSION == 2
	m_blendEquation(GL_FUNC_ADD),
#else
	m_blendEquation(0),
#endif
	m_blendSrc(GL_ONE),
	m_blendDst(GL_ZERO),
	m_program(0),
	m_viewport(-10000, -10000, 10000, 10000),
	m_scissor(-10000, -10000, 10000, 10000),
	m_clientActiveTexture(GL_TEXTURE0),
	m_activeTexture(GL_TEXTURE0),
	m_frontFace(GL_CCW),
	m_vertexArray(false),
	m_normalArray(false),
	m_colorArray(false),
#if GR_GL_VERSION == 1
	m_matrixMode(GL_MODELVIEW),
	m_requestedMatrixMode(GL_MODELVIEW),
	m_pointSizeArray(false),
#endif
	m_lineWidth(1.f)
{
	for (math::float4x4& m : m_matrices)
		m = IDENTITY;
	for (int i = 0; i < TEXTURE_UNITS; ++i)
	{
		m_bindedTexture[i] = 0;
		m_texCoordArray[i] = false;
	}
	m_boundBuffer[0] = m_boundBuffer[1] = 0;
	for (float& c : m_clearColor)
		c = 0.f;
}

void GL_State::begin(bool force) const
{
	GL_State& c = sm_current;
	if (m_cullFaceEnabled)
		enable(GL_CULL_FACE);
	else
		disable(GL_CULL_FACE);
	if (force || c.m_cullFace != m_cullFace)
	{
		c.m_cullFace = m_cullFace;
		gl.CullFace(m_cullFace);
		CHECK("cullFace");
	}
	if (m_depthTest)
		enable(GL_DEPTH_TEST);
	else
		disable(GL_DEPTH_TEST);
	if (force || c.m_depthMask != m_depthMask)
	{
		c.m_depthMask = m_depthMask;
		gl.DepthMask(m_depthMask ? GL_TRUE : GL_FALSE);
		CHECK("depthMask");
	}
	if (force || c.m_depthFunc != m_depthFunc)
	{
		c.m_depthFunc = m_depthFunc;
		gl.DepthFunc(m_depthFunc);
		CHECK("depthFunc");
	}
	if (m_blend)
		enable(GL_BLEND);
	else
		disable(GL_BLEND);
	if (force || c.m_blendSrc != m_blendSrc || c.m_blendDst != m_blendDst)
	{
		c.m_blendSrc = m_blendSrc;
		c.m_blendDst = m_blendDst;
		gl.BlendFunc(m_blendSrc, m_blendDst);
		CHECK("blendFunc");
	}
#if GR_GL_VERSION == 2
	if (force || c.m_program != m_program)
	{
		c.m_program = m_program;
		gl.UseProgram(m_program);
		CHECK("useProgram");
	}
	if (force || c.m_blendEquation != m_blendEquation)
	{
		c.m_blendEquation = m_blendEquation;
		gl.BlendEquation(m_blendEquation);
		CHECK("blendEquation");
	}
#endif
}

void GL_State::reset()
{
	sm_current = GL_State();
}

int GL_State::activeUnit()
{
	return int(sm_current.m_activeTexture - GL_TEXTURE0);
}

void GL_State::setCap(GLenum cap, bool value, const char* operation)
{
	const GLenum capModified = cap == GL_TEXTURE_2D ? GLenum(GL_TEXTURE_2D + activeUnit()) : cap;
	bool* const found = sm_current.m_caps.find(capModified);
	if (!found)
		lang::assertFailed("sm_current.m_caps.count( capModified )", operation, "include/gr/gl/GL_State", __LINE__);
	bool& stored = *found;
	if (stored == value)
		return;
	stored = value;
	// The plain fields mirror the capabilities that a state value carries.
	if (cap == GL_CULL_FACE)
		sm_current.m_cullFaceEnabled = value;
	else if (cap == GL_DEPTH_TEST)
		sm_current.m_depthTest = value;
	else if (cap == GL_BLEND)
		sm_current.m_blend = value;
	if (value)
		gl.Enable(cap);
	else
		gl.Disable(cap);
	GL_checkError(operation, "include/gr/gl/GL_State", __LINE__);
}

void GL_State::enable(GLenum cap)
{
	setCap(cap, true, "enable");
}

void GL_State::disable(GLenum cap)
{
	setCap(cap, false, "disable");
}

bool GL_State::isEnabled(GLenum cap)
{
	const GLenum key = cap == GL_TEXTURE_2D ? GLenum(GL_TEXTURE_2D + activeUnit()) : cap;
	const bool* value = sm_current.m_caps.find(key);
	return value && *value;
}

void GL_State::frontFace(GLenum mode)
{
	if (sm_current.m_frontFace == mode)
		return;
	sm_current.m_frontFace = mode;
	gl.FrontFace(mode);
	CHECK("frontFace");
}

void GL_State::cullFace(GLenum mode)
{
	if (sm_current.m_cullFace == mode)
		return;
	sm_current.m_cullFace = mode;
	gl.CullFace(mode);
	CHECK("cullFace");
}

void GL_State::depthMask(bool flag)
{
	if (sm_current.m_depthMask == flag)
		return;
	sm_current.m_depthMask = flag;
	gl.DepthMask(flag ? GL_TRUE : GL_FALSE);
	CHECK("depthMask");
}

void GL_State::depthFunc(GLenum func)
{
	if (sm_current.m_depthFunc == func)
		return;
	sm_current.m_depthFunc = func;
	gl.DepthFunc(func);
	CHECK("depthFunc");
}

void GL_State::blendFunc(GLenum src, GLenum dst)
{
	if (sm_current.m_blendSrc == src && sm_current.m_blendDst == dst)
		return;
	sm_current.m_blendSrc = src;
	sm_current.m_blendDst = dst;
	gl.BlendFunc(src, dst);
	CHECK("blendFunc");
}

void GL_State::viewport(int x, int y, int width, int height)
{
	const gr::Rect r(x, y, x + width, y + height);
	if (sm_current.m_viewport == r)
		return;
	sm_current.m_viewport = r;
	gl.Viewport(x, y, width, height);
	CHECK("viewport");
}

void GL_State::scissor(int x, int y, int width, int height)
{
	const gr::Rect r(x, y, x + width, y + height);
	if (sm_current.m_scissor == r)
		return;
	sm_current.m_scissor = r;
	gl.Scissor(x, y, width, height);
	CHECK("scissor");
}

void GL_State::clearColor(float r, float g, float b, float a)
{
	float* c = sm_current.m_clearColor;
	if (c[0] == r && c[1] == g && c[2] == b && c[3] == a)
		return;
	c[0] = r, c[1] = g, c[2] = b, c[3] = a;
	gl.ClearColor(r, g, b, a);
	CHECK("clearColor");
}

void GL_State::lineWidth(float width)
{
	if (sm_current.m_lineWidth == width)
		return;
	sm_current.m_lineWidth = width;
	gl.LineWidth(width);
	CHECK("lineWidth");
}

void GL_State::activeTexture(GLenum texture)
{
	LANG_ASSERT(texture - GL_TEXTURE0 < sizeof(sm_current.m_bindedTexture) / sizeof(sm_current.m_bindedTexture[0]));
	if (sm_current.m_activeTexture == texture)
		return;
	sm_current.m_activeTexture = texture;
	gl.ActiveTexture(texture);
	CHECK("activeTexture");
}

void GL_State::bindTexture(GLuint name)
{
	GLuint& bound = sm_current.m_bindedTexture[activeUnit()];
	if (bound == name)
		return;
	bound = name;
	gl.BindTexture(GL_TEXTURE_2D, name);
	CHECK("bindTexture");
}

void GL_State::bindBuffer(GLenum target, GLuint buffer)
{
	LANG_ASSERT(target == GL_ARRAY_BUFFER || target == GL_ELEMENT_ARRAY_BUFFER);
	GLuint& bound = sm_current.m_boundBuffer[target == GL_ARRAY_BUFFER ? BUFFER_ARRAY : BUFFER_ELEMENT_ARRAY];
	if (bound == buffer)
		return;
	bound = buffer;
	gl.BindBuffer(target, buffer);
	CHECK("bindBuffer");
}

#if GR_GL_VERSION == 1
void GL_State::setMatrixMode(GLenum mode)
{
	LANG_ASSERT(mode == GL_MODELVIEW || mode == GL_PROJECTION || mode == GL_TEXTURE);
	sm_current.m_requestedMatrixMode = mode;
}

void GL_State::loadMatrixf(const math::float4x4& m)
{
	GL_State& c = sm_current;
	int slot = MATRIX_MODELVIEW;
	if (c.m_requestedMatrixMode == GL_PROJECTION)
		slot = MATRIX_PROJECTION;
	else if (c.m_requestedMatrixMode == GL_TEXTURE)
		slot = MATRIX_TEXTURE0 + activeUnit();
	if (sameMatrix(c.m_matrices[slot], m))
		return;
	c.m_matrices[slot] = m;
	if (c.m_matrixMode != c.m_requestedMatrixMode)
	{
		c.m_matrixMode = c.m_requestedMatrixMode;
		gl.MatrixMode(c.m_matrixMode);
		CHECK("setMatrixMode");
	}
	// GL wants columns first.
	const math::float4x4 t = m.transpose();
	gl.LoadMatrixf(t.data());
	CHECK("loadMatrixf");
}

void GL_State::setClientState(GLenum array, bool value, const char* operation)
{
	GL_State& c = sm_current;
	bool* flag = nullptr;
	switch (array)
	{
	case GL_VERTEX_ARRAY: flag = &c.m_vertexArray; break;
	case GL_NORMAL_ARRAY: flag = &c.m_normalArray; break;
	case GL_COLOR_ARRAY: flag = &c.m_colorArray; break;
	case GL_POINT_SIZE_ARRAY_OES: flag = &c.m_pointSizeArray; break;
	case GL_TEXTURE_COORD_ARRAY: flag = &c.m_texCoordArray[c.m_clientActiveTexture - GL_TEXTURE0]; break;
	default: return;
	}
	if (*flag == value)
		return;
	*flag = value;
	if (value)
		gl.EnableClientState(array);
	else
		gl.DisableClientState(array);
	GL_checkError(operation, "include/gr/gl/GL_State", __LINE__);
}

void GL_State::enableClientState(GLenum array)
{
	setClientState(array, true, "enableClientState");
}

void GL_State::disableClientState(GLenum array)
{
	setClientState(array, false, "disableClientState");
}

void GL_State::clientActiveTexture(GLenum texture)
{
	LANG_ASSERT(texture - GL_TEXTURE0 < sizeof(sm_current.m_texCoordArray) / sizeof(sm_current.m_texCoordArray[0]));
	if (sm_current.m_clientActiveTexture == texture)
		return;
	sm_current.m_clientActiveTexture = texture;
	gl.ClientActiveTexture(texture);
	CHECK("clientActiveTexture");
}
#else
void GL_State::blendEquation(GLenum mode)
{
	if (sm_current.m_blendEquation == mode)
		return;
	sm_current.m_blendEquation = mode;
	gl.BlendEquation(mode);
	CHECK("blendEquation");
}

void GL_State::useProgram(GLuint program)
{
	if (sm_current.m_program == program)
		return;
	sm_current.m_program = program;
	gl.UseProgram(program);
	CHECK("useProgram");
}
#endif
}
}
