precision mediump float;

#include "2d-common.glsl"

uniform float ALPHA_FACTOR;

varying vec4 v_color;

void main()
{
	gl_FragColor = vec4(saturate(v_color.rgb), v_color.a * ALPHA_FACTOR);
}
