#include <game/Resources.h>
#include <game/BitmapFont.h>
#include <game/TextGroup.h>
#include <game/TextGroupSet.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>

namespace game
{
IFont* Resources::createBitmapFont(const std::string& name, bool reload)
{
	const std::string key = resourceKey(name);
	auto it = m_fonts.find(key);
	if (it != m_fonts.end() && !reload)
		return it->second;
	lang::Ptr<IFont> font = new BitmapFont(m_context, pathOf(name));
	// The current font must not outlive its entry.
	if (it != m_fonts.end() && m_font == it->second.ptr())
		m_font = font;
	m_fonts[key] = font;
	return font;
}

TextGroupSet* Resources::createTextGroupSet(const std::string& name, bool reload)
{
	const std::string key = resourceKey(name);
	auto it = m_textGroupSets.find(key);
	if (it != m_textGroupSets.end() && !reload)
		return it->second;
	lang::Ptr<TextGroupSet> set = new TextGroupSet(pathOf(name));
	set->loadLocaleCodes();
	m_textGroupSets[key] = set;
	return set;
}

void Resources::releaseFont(const std::string& name)
{
	lang::Debug::printf("Releasing font %s\n", name.c_str());
	auto it = m_fonts.find(resourceKey(name));
	if (it == m_fonts.end())
		return;
	if (m_font == it->second.ptr())
	{
		m_font = nullptr;
		m_fontKey.clear();
	}
	m_fonts.erase(it);
}

void Resources::releaseTextGroupSet(const std::string& name)
{
	lang::Debug::printf("Releasing textgroupset %s\n", name.c_str());
	m_textGroupSets.erase(resourceKey(name));
}

void Resources::loadLocale(const std::string& setKey, const std::string& locale)
{
	auto it = m_textGroupSets.find(setKey);
	if (it == m_textGroupSets.end())
		return;
	it->second->releaseTextGroup("ALL");
	it->second->loadTextGroup(locale);
}

void Resources::useFont(const std::string& key)
{
	auto it = m_fonts.find(key);
	if (it == m_fonts.end())
		return;
	m_font = it->second;
	m_fontKey = key;
}

std::string Resources::getString(const std::string& setKey, const std::string& id)
{
	auto it = m_textGroupSets.find(setKey);
	if (it == m_textGroupSets.end())
		return id;
	return it->second->getTextGroup(m_locale)->get(id);
}

IFont* Resources::currentFont(const char* action) const
{
	if (!m_font)
		lang::throwError(lang::Exception(lang::Format("No font is set while trying to {0}", action)));
	return m_font;
}

void Resources::drawString(const std::string& setKey, const std::string& id, float x, float y, Anchor anchor)
{
	IFont* font = currentFont("draw string");
	font->drawString(m_context, getString(setKey, id), x, y, anchor);
}

int Resources::getStringWidth(const std::string& text, int begin, int count)
{
	return currentFont("get string width")->getStringWidth(text, begin, count);
}

int Resources::getFontMaxAscending()
{
	return currentFont("get font max ascending")->getMaxAscending();
}

int Resources::getFontMaxDescending()
{
	return currentFont("get font max descending")->getMaxDescending();
}

int Resources::getFontLeading()
{
	return currentFont("get font leading")->getLeading();
}

int Resources::getFontTracking()
{
	return currentFont("get font tracking")->getTracking();
}

int Resources::getFontHeight()
{
	IFont* font = currentFont("get font height!");
	return font->getMaxAscending() + font->getMaxDescending();
}
}
