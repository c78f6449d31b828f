technique Default
{
	pass P0
	{
		VertexShader = 2d-vertexcolor.vsh;
		PixelShader = 2d-vertexcolor.fsh;
		EnableCulling = FALSE;
		EnableDepthTest = FALSE;
		EnableDepthMask = FALSE;
		EnableBlending = TRUE;
		BlendEquation = FUNC_ADD;
		BlendFuncSrc = SRC_ALPHA;
		BlendFuncDst = ONE_MINUS_SRC_ALPHA;
	}
}
