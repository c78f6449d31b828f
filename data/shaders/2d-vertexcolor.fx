technique Default
{
	pass P0
	{
		VertexShader = 2d-vertexcolor.vsh;
		PixelShader = 2d-vertexcolor.fsh;
		EnableCulling = FALSE;
		EnableDepthTest = FALSE;
		EnableDepthMask = FALSE;
		EnableBlending = FALSE;
	}
}
