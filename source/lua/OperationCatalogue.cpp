#include <lua/OperationCatalogue.h>
#include <lang/assert.h>
#include <algorithm>

namespace lua
{
namespace
{
OperationCatalogue* s_active = nullptr;
}

OperationCatalogue::OperationCatalogue()
{
	LANG_ASSERT(s_active == nullptr);
	s_active = this;
}

OperationCatalogue::~OperationCatalogue()
{
	s_active = nullptr;
}

void OperationCatalogue::section(const char* table, const char* topic)
{
	if (!s_active)
		return;
	s_active->m_table = table;
	s_active->m_topic = topic;
}

void OperationCatalogue::note(const char* name, const OperationSignature& signature)
{
	if (!s_active)
		return;
	OperationCatalogue& c = *s_active;
	Entry entry{c.m_table, c.m_topic, name, signature.describe == nullptr, "", ""};
	if (signature.describe)
		signature.describe(entry.arguments, entry.results);
	else if (signature.words)
		entry.arguments = signature.words;
	auto same = std::find_if(c.m_entries.begin(), c.m_entries.end(),
		[&](const Entry& e) { return e.table == entry.table && e.name == entry.name; });
	if (same == c.m_entries.end())
		c.m_entries.push_back(entry);
	else
	{
		entry.topic = same->topic;
		*same = entry;
	}
}
}
