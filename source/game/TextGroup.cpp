#include <game/TextGroup.h>

namespace game
{
TextGroup::TextGroup() {}

TextGroup::~TextGroup() {}

const std::string& TextGroup::get(const std::string& id)
{
	auto it = m_texts.find(id);
	if (it == m_texts.end())
		it = m_texts.emplace(id, id).first;
	return it->second;
}
}
