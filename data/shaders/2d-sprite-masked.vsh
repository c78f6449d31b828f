// Material picture in layer 0, mask sprite in layer 1.
uniform mat4 PROJTM;

attribute vec4 DT_POSITION;
attribute vec2 DT_TEX0;
attribute vec2 DT_TEX1;

varying vec2 v_tex0;
varying vec2 v_tex1;

void main()
{
	v_tex0 = DT_TEX0;
	v_tex1 = DT_TEX1;
	gl_Position = PROJTM * DT_POSITION;
}
