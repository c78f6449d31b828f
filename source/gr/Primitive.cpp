#include <gr/Primitive.h>
#include <lang/assert.h>

namespace gr
{
void Primitive::setPerspectiveCorrection(int)
{
}

void Primitive::setOpacity(int)
{
	LANG_ASSERT(false);
}

void Primitive::setWireframeColor(int)
{
}
}
