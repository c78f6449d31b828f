precision mediump float;

uniform sampler2D BASEMAP;
uniform sampler2D BASEMAP1;
#ifndef UNIT_ALPHA_FACTOR
uniform float ALPHA_FACTOR;
#endif

varying vec2 v_tex0;
varying vec2 v_tex1;

void main()
{
	// Colour from the material, transparency from both and the fade.
	vec4 material = texture2D(BASEMAP, v_tex0);
	float mask = texture2D(BASEMAP1, v_tex1).a;
#ifdef UNIT_ALPHA_FACTOR
	gl_FragColor = vec4(material.rgb, material.a * mask);
#else
	gl_FragColor = vec4(material.rgb, material.a * mask * ALPHA_FACTOR);
#endif
}
