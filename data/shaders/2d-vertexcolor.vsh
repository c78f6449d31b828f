// Lines and fills: a colour per vertex, no texture.
uniform mat4 PROJTM;

attribute vec4 DT_POSITION;
attribute vec4 DT_DIFFUSE;

varying vec4 v_color;

void main()
{
	v_color = DT_DIFFUSE;
	gl_Position = PROJTM * DT_POSITION;
}
