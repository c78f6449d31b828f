// Shared by the 2-D fragment shaders.
uniform float COLOR_SATURATION;

// Blends between the grey of the colour (0) and the colour itself (1).
vec3 saturate(vec3 rgb)
{
	float grey = dot(rgb, vec3(0.299, 0.587, 0.114));
	return mix(vec3(grey), rgb, COLOR_SATURATION);
}
