#include "ContentFile.h"
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <io/PathName.h>

namespace game
{
SpriteSheet::SpriteSheet(gr::Image* image) : m_image(image) {}

SpriteSheet::SpriteSheet(gr::Context* context, const std::string& fileName)
{
	ContentFile file(fileName);
	io::DataInputStream& in = file.in();
	const std::string dir = io::PathName(fileName).parent().toString();
	// The image name and sprite list, the same in a chunk and in the untagged layout.
	auto readSheet = [&] {
		const std::string imageName = in.readUTF();
		m_image = context->createImagefromBundle(io::PathName(dir, imageName).toString());
		const int count = in.readShort();
		for (int i = 0; i < count; ++i)
		{
			const std::string name = in.readUTF();
			const int x = in.readShort(), y = in.readShort(), w = in.readShort(), h = in.readShort();
			const int px = in.readShort(), py = in.readShort();
			createSprite(name, x, y, w, h, px, py);
		}
	};
	if (!file.readHeader())
	{
		readSheet();
		return;
	}
	while (file.nextChunkOf(ContentTag::SPRT, 1, 1))
		readSheet();
}

SpriteSheet::~SpriteSheet()
{
	for (auto& entry : m_sprites)
		entry.second->m_sheet = nullptr;
}

Sprite* SpriteSheet::createSprite(const std::string& name, int x, int y, int width, int height, int pivotX, int pivotY)
{
	lang::Ptr<Sprite>& slot = m_sprites[name];
	if (slot)
		slot->m_sheet = nullptr;
	slot = new Sprite(this, name, x, y, width, height, pivotX, pivotY);
	return slot;
}

Sprite* SpriteSheet::getSprite(const std::string& name) const
{
	auto it = m_sprites.find(name);
	return it == m_sprites.end() ? nullptr : it->second.ptr();
}
}
