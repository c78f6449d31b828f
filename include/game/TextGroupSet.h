#ifndef GAME_TEXTGROUPSET_H
#define GAME_TEXTGROUPSET_H

#include <game/TextGroup.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <map>
#include <string>
#include <vector>

namespace game
{
/** One localisation file: the same text ids in several locales, each loaded on demand. */
class TextGroupSet : public lang::Object
{
public:
	/** Keeps the bundle path; reads nothing. */
	explicit TextGroupSet(const std::string& path);
	~TextGroupSet() override;

	/** Reads the file's locale codes, replacing the list. */
	void loadLocaleCodes();
	/** Loads one locale's group, or every one for "ALL" (then the first locale's group is returned). */
	TextGroup* loadTextGroup(const std::string& locale);
	/** Drops a loaded group, or every one for "ALL". */
	void releaseTextGroup(const std::string& locale);
	TextGroup* getTextGroup(const std::string& locale);

	const std::vector<std::string>& getLocaleCodes() const { return m_locales; }
	const std::string& getPath() const { return m_path; }

private:
	std::vector<std::string> m_locales;
	std::map<std::string, lang::Ptr<TextGroup>> m_groups;
	std::string m_path;

	bool hasLocale(const std::string& locale) const;
};
}

#endif
