#include <gr/Image.h>

namespace gr
{
Texture* Image::getTexture() const
{
	return nullptr;
}
}
