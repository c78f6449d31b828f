#include <gr/Context.h>
#include <io/BundleInputStream.h>
#include <lang/assert.h>

namespace gr
{
void Context::Statistics::reset()
{
	unused1 = unused2 = 0;
	vertices = triangles = primitives = 0;
	imageQuads = imageBatches = 0;
	textureBytes = textures = 0;
	imageBytes = images = 0;
}

Context::RenderScene::RenderScene(Context* context) : m_context(context)
{
	m_context->beginScene();
}

Context::RenderScene::~RenderScene()
{
	m_context->endScene();
}

Context::~Context()
{
}

void Context::setScreenPlacement(int, int, int, int)
{
}

void Context::hibernateContext()
{
}

void Context::resumeContext()
{
}

void Context::saveCachedState(const std::string&)
{
}

void Context::restoreCachedState(const std::string&)
{
}

void Context::resetCachedState()
{
}

Image* Context::createImagefromBundle(const std::string& name)
{
	io::BundleInputStream in(name);
	return createImage(in, name);
}
}
