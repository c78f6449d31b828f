#include "ContentFile.h"
#include <game/CompoSpriteSet.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>

namespace game
{
CompoSpriteSet::CompoSpriteSet(io::InputStream& stream, SpriteProvider* provider)
{
	LANG_ASSERT(provider);
	ContentFile file(stream);
	io::DataInputStream& in = file.in();
	if (!file.readHeader())
		file.malformed();
	while (const int version = file.nextChunkOf(ContentTag::COMP, 1, 2))
	{
		const int count = in.readShort();
		for (int i = 0; i < count; ++i)
		{
			lang::Ptr<CompoSprite> compo = new CompoSprite;
			const std::string name = in.readUTF();
			const int parts = in.readShort();
			for (int k = 0; k < parts; ++k)
			{
				const std::string spriteName = in.readUTF();
				const int x = in.readShort(), y = in.readShort();
				Sprite* sprite = provider->getSprite(spriteName);
				if (!sprite)
					lang::throwError(lang::Exception(lang::Format("Sprite \"{0}\" not loaded while loading {1}", spriteName, file.name())));
				compo->addSprite(spriteName, float(x), float(y), sprite);
			}
			if (version == 2)
			{
				const int extras = in.readShort();
				for (int k = 0; k < extras; ++k)
				{
					in.readUTF();
					in.readShort();
					in.readShort();
				}
			}
			m_compos[name] = compo;
		}
	}
}

CompoSpriteSet::~CompoSpriteSet() {}

CompoSprite* CompoSpriteSet::getCompoSprite(const std::string& name) const
{
	auto it = m_compos.find(name);
	return it == m_compos.end() ? nullptr : it->second.ptr();
}
}
