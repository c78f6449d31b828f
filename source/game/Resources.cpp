#include <game/Resources.h>
#include <audio/AudioClip.h>
#include <audio/AudioInput.h>
#include <audio/AudioOutput.h>
#include <game/BitmapFont.h>
#include <game/CompoSprite.h>
#include <game/CompoSpriteSet.h>
#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <game/TextGroupSet.h>
#include <gr/Context.h>
#include <gr/Image.h>
#include <io/BundleInputStream.h>
#include <io/ByteArrayInputStream.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>

namespace game
{
std::string resourceKey(const std::string& fileName)
{
	return io::PathName(fileName).basename();
}

Resources::Resources(gr::Context* context) :
	m_context(context), m_clipRect(-10000, -10000, 10000, 10000), m_font(nullptr), m_locale("en_EN")
{
}

Resources::~Resources()
{
	// Registry entries point into the sheets and sets: clear them first.
	m_sprites.clear();
	m_font = nullptr;
	m_audioClips.clear();
	m_audioInput = nullptr;
	m_audioOutput = nullptr;
}

std::string Resources::pathOf(const std::string& name) const
{
	return io::PathName(m_path.toString(), name).toString();
}

SpriteSheet* Resources::createSpriteSheet(const std::string& name, bool reload)
{
	const std::string key = resourceKey(name);
	auto it = m_spriteSheets.find(key);
	if (it != m_spriteSheets.end() && !reload)
		return it->second;
	lang::Ptr<SpriteSheet> sheet = new SpriteSheet(m_context, pathOf(name));
	addSpriteSheet(key, sheet);
	return sheet;
}

void Resources::addSpriteSheet(const std::string& key, SpriteSheet* sheet)
{
	lang::Ptr<SpriteSheet> keep = sheet;
	auto it = m_spriteSheets.find(key);
	if (it != m_spriteSheets.end() && it->second != keep)
		unregisterSheet(it->second);
	registerSheet(key, sheet);
	m_spriteSheets[key] = keep;
}

void Resources::registerSheet(const std::string& key, SpriteSheet* sheet)
{
	for (const auto& sprite : sheet->getSprites())
		m_sprites[sprite.first] = SpriteEntry{SpriteEntry::SPRITE, key, sprite.second.ptr()};
}

void Resources::unregisterSheet(SpriteSheet* sheet)
{
	for (const auto& sprite : sheet->getSprites())
		m_sprites.erase(sprite.first);
}

CompoSpriteSet* Resources::createCompoSpriteSet(const std::string& name, bool reload)
{
	const std::string key = resourceKey(name);
	auto it = m_compoSpriteSets.find(key);
	if (it != m_compoSpriteSets.end() && !reload)
		return it->second;
	io::BundleInputStream file(pathOf(name));
	io::ByteArrayInputStream in(file);
	lang::Ptr<CompoSpriteSet> set = new CompoSpriteSet(in, this);
	if (it != m_compoSpriteSets.end())
	{
		for (const auto& compo : it->second->getCompoSprites())
			m_sprites.erase(compo.first);
	}
	for (const auto& compo : set->getCompoSprites())
		m_sprites[compo.first] = SpriteEntry{SpriteEntry::COMPOSITE, key, compo.second.ptr()};
	m_compoSpriteSets[key] = set;
	return set;
}

void Resources::captureSprite(const std::string& key)
{
	auto it = m_spriteSheets.find(key);
	if (it != m_spriteSheets.end())
	{
		m_context->capture(it->second->getImage());
		return;
	}
	lang::Ptr<gr::Image> image = m_context->capture(static_cast<gr::Image*>(nullptr));
	if (!image)
		lang::throwError(lang::Exception(lang::Format("Capturing the screen into {0} failed", key)));
	lang::Ptr<SpriteSheet> sheet = new SpriteSheet(image);
	sheet->createSprite(key, 0, 0, image->width(), image->height(), 0, 0);
	addSpriteSheet(key, sheet);
}

void Resources::releaseSpriteSheet(const std::string& name)
{
	lang::Debug::printf("Releasing spritesheet %s\n", name.c_str());
	auto it = m_spriteSheets.find(resourceKey(name));
	if (it == m_spriteSheets.end())
		return;
	unregisterSheet(it->second);
	m_spriteSheets.erase(it);
}

void Resources::releaseCompoSpriteSet(const std::string& name)
{
	auto it = m_compoSpriteSets.find(resourceKey(name));
	if (it == m_compoSpriteSets.end())
		return;
	for (const auto& compo : it->second->getCompoSprites())
		m_sprites.erase(compo.first);
	m_compoSpriteSets.erase(it);
}

const Resources::SpriteEntry* Resources::findEntry(const std::string& name) const
{
	auto it = m_sprites.find(name);
	return it == m_sprites.end() ? nullptr : &it->second;
}

Sprite* Resources::getSprite(const std::string& name)
{
	const SpriteEntry* e = findEntry(name);
	return e && e->type == SpriteEntry::SPRITE ? static_cast<Sprite*>(e->object) : nullptr;
}

CompoSprite* Resources::getCompoSprite(const std::string& name)
{
	const SpriteEntry* e = findEntry(name);
	return e && e->type == SpriteEntry::COMPOSITE ? static_cast<CompoSprite*>(e->object) : nullptr;
}

SpriteSheet* Resources::getSpriteSheet(const std::string& key)
{
	auto it = m_spriteSheets.find(key);
	return it == m_spriteSheets.end() ? nullptr : it->second.ptr();
}

SpriteSheet* Resources::findSpriteSheet(const std::string& name)
{
	const SpriteEntry* e = findEntry(name);
	return e && e->type == SpriteEntry::SPRITE ? getSpriteSheet(e->owner) : nullptr;
}

CompoSpriteSet* Resources::findCompoSpriteSet(const std::string& name)
{
	const SpriteEntry* e = findEntry(name);
	if (!e || e->type != SpriteEntry::COMPOSITE)
		return nullptr;
	auto it = m_compoSpriteSets.find(e->owner);
	return it == m_compoSpriteSets.end() ? nullptr : it->second.ptr();
}

void Resources::drawSprite(const std::string& name, float x, float y, Anchor anchor)
{
	const SpriteEntry* e = findEntry(name);
	if (!e)
		return;
	if (e->type == SpriteEntry::SPRITE)
		static_cast<Sprite*>(e->object)->draw(m_context, x, y, anchor);
	else
		static_cast<CompoSprite*>(e->object)->draw(m_context, x, y, anchor);
}

void Resources::drawSprite(const std::string& name, float x, float y, float w, float h, Anchor anchor)
{
	const SpriteEntry* e = findEntry(name);
	if (!e)
		return;
	if (e->type == SpriteEntry::SPRITE)
		static_cast<Sprite*>(e->object)->draw(m_context, x, y, w, h, anchor);
	else
		static_cast<CompoSprite*>(e->object)->draw(m_context, x, y, anchor);
}

namespace
{
template <class F> int measure(const Resources::SpriteEntry* e, F f)
{
	if (!e)
		return 0;
	if (e->type == Resources::SpriteEntry::SPRITE)
		return f(*static_cast<const Sprite*>(e->object));
	return f(*static_cast<const CompoSprite*>(e->object));
}
}

int Resources::getSpriteWidth(const std::string& name)
{
	return measure(findEntry(name), [](const auto& s) { return s.getWidth(); });
}

int Resources::getSpriteHeight(const std::string& name)
{
	return measure(findEntry(name), [](const auto& s) { return s.getHeight(); });
}

int Resources::getSpritePivotX(const std::string& name)
{
	return measure(findEntry(name), [](const auto& s) { return s.getPivotX(); });
}

int Resources::getSpritePivotY(const std::string& name)
{
	return measure(findEntry(name), [](const auto& s) { return s.getPivotY(); });
}

void Resources::setClipRect(const gr::Rect& rect)
{
	m_clipRect = rect;
	m_context->getRenderState2D().clipRect = rect;
}
}
