precision mediump float;

#include "2d-common.glsl"

varying vec4 v_color;

void main()
{
	gl_FragColor = vec4(saturate(v_color.rgb), fade(v_color.a));
}
