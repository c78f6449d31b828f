// Sprite quads: positions arrive in device coordinates (or pixels with a
// transform in PROJTM), one texture layer.
uniform mat4 PROJTM;

attribute vec4 DT_POSITION;
attribute vec2 DT_TEX0;

varying vec2 v_tex0;

void main()
{
	v_tex0 = DT_TEX0;
	gl_Position = PROJTM * DT_POSITION;
}
