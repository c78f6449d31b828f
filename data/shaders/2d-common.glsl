// Shared by the 2-D fragment shaders. The context draws with UNIT_COLOR_SATURATION
// defined while COLOR_SATURATION is 1, and with UNIT_ALPHA_FACTOR while ALPHA_FACTOR
// is 1: the terms are then identities and cost nothing per pixel.
#ifdef UNIT_COLOR_SATURATION
#define saturate(rgb) (rgb)
#else
uniform float COLOR_SATURATION;

// Blends between the grey of the colour (0) and the colour itself (1).
vec3 saturate(vec3 rgb)
{
	float grey = dot(rgb, vec3(0.299, 0.587, 0.114));
	return mix(vec3(grey), rgb, COLOR_SATURATION);
}
#endif

// Scales by the fade.
#ifdef UNIT_ALPHA_FACTOR
#define fade(x) (x)
#else
uniform float ALPHA_FACTOR;
#define fade(x) ((x) * ALPHA_FACTOR)
#endif
