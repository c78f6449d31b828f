// Sprite quads: positions arrive in device coordinates (or pixels with a
// transform in PROJTM), one texture layer, an optional colour per corner
// (white when the vertices carry none).
uniform mat4 PROJTM;

attribute vec4 DT_POSITION;
attribute vec2 DT_TEX0;
attribute vec4 DT_DIFFUSE;

varying vec2 v_tex0;
#ifndef UNIT_VERTEX_COLOR
varying vec4 v_color;
#endif

void main()
{
	v_tex0 = DT_TEX0;
#ifndef UNIT_VERTEX_COLOR
	v_color = DT_DIFFUSE;
#endif
	gl_Position = PROJTM * DT_POSITION;
}
