precision mediump float;

#include "2d-common.glsl"

uniform sampler2D BASEMAP;
varying vec2 v_tex0;
varying vec4 v_color;

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
