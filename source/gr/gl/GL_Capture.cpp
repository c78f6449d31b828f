#include <gr/gl/GL_Capture.h>
#include <lang/assert.h>
#include <cstring>

namespace gr
{
namespace GR_GL_NS
{
std::vector<uint8_t> GL_capturePixels(int x, int y, int w, int h)
{
	LANG_ASSERT(w >= 0 && h >= 0);
	const size_t pitch = size_t(w) * 4;
	std::vector<uint8_t> read(pitch * size_t(h));
	std::vector<uint8_t> flipped(read.size());
	if (read.empty())
		return flipped;
	gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
	gl.ReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
	GR_GL_CHECK("capture", "source/gr/gl/GL_Context");
	for (int i = 0; i < h; ++i)
		std::memcpy(&flipped[size_t(h - 1 - i) * pitch], &read[size_t(i) * pitch], pitch);
	return flipped;
}
}
}
