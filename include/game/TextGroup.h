#ifndef GAME_TEXTGROUP_H
#define GAME_TEXTGROUP_H

#include <lang/Object.h>
#include <map>
#include <string>

namespace game
{
/** The texts of one locale by id. */
class TextGroup : public lang::Object
{
public:
	TextGroup();
	~TextGroup() override;

	/** The text of the id; a missing id is stored as its own text, so it shows on screen. */
	const std::string& get(const std::string& id);
	void set(const std::string& id, const std::string& text) { m_texts[id] = text; }
	const std::map<std::string, std::string>& getTexts() const { return m_texts; }

private:
	std::map<std::string, std::string> m_texts;
};
}

#endif
