technique Default
{
	pass P0
	{
		#define PREMULTIPLIED_ALPHA
		VertexShader = 2d-sprite.vsh;
		PixelShader = 2d-sprite.fsh;
		EnableCulling = FALSE;
		EnableDepthTest = FALSE;
		EnableDepthMask = FALSE;
		EnableBlending = TRUE;
		BlendEquation = FUNC_ADD;
		BlendFuncSrc = ONE;
		BlendFuncDst = ONE_MINUS_SRC_ALPHA;
	}
}
