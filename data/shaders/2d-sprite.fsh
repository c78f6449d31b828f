precision mediump float;

#include "2d-common.glsl"

uniform sampler2D BASEMAP;
varying vec2 v_tex0;
#ifdef UNIT_VERTEX_COLOR
// Batches of uncoloured vertices: their colour is white.
#define v_color vec4(1.0)
#else
varying vec4 v_color;
#endif

void main()
{
	vec4 c = texture2D(BASEMAP, v_tex0) * v_color;
	c.rgb = saturate(c.rgb);
#ifdef PREMULTIPLIED_ALPHA
	// Colours already carry their alpha: fading scales all four channels.
	gl_FragColor = fade(c);
#else
	gl_FragColor = vec4(c.rgb, fade(c.a));
#endif
}
