#include "ContentFile.h"
#include <game/TextGroupSet.h>
#include <io/IOException.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>

namespace game
{
namespace
{
[[noreturn]] void localeError(const char* what, const std::string& locale)
{
	lang::throwError(lang::Exception(lang::Format(std::string("Trying to ") + what + ". Language: \"{0}\"", locale)));
}

std::vector<std::string> readStrings(io::DataInputStream& in, int count)
{
	std::vector<std::string> out;
	for (int i = 0; i < count; ++i)
		out.push_back(in.readUTF());
	return out;
}
}

TextGroupSet::TextGroupSet(const std::string& path) : m_path(path) {}

TextGroupSet::~TextGroupSet() {}

bool TextGroupSet::hasLocale(const std::string& locale) const
{
	return std::find(m_locales.begin(), m_locales.end(), locale) != m_locales.end();
}

void TextGroupSet::loadLocaleCodes()
{
	ContentFile file(m_path);
	io::DataInputStream& in = file.in();
	if (!file.readHeader())
	{
		in.readByte();
		in.readInt();
		const int count = in.readChar();
		m_locales = readStrings(in, count);
		return;
	}
	int tag = 0, size = 0;
	while (file.nextChunkOf(ContentTag::TEXT, 1, 1))
	{
		// The sub-chunks run to the end of the data.
		while (file.nextChunk(&tag, &size))
		{
			if (tag == int(ContentTag::LDAT))
				m_locales = readStrings(in, in.readShort());
			else
				file.skip(size);
		}
	}
}

TextGroup* TextGroupSet::loadTextGroup(const std::string& locale)
{
	if (locale == "ALL")
	{
		TextGroup* first = nullptr;
		const std::vector<std::string> locales = m_locales;
		for (const std::string& code : locales)
		{
			TextGroup* group = loadTextGroup(code);
			if (!first)
				first = group;
		}
		return first;
	}
	const auto found = std::find(m_locales.begin(), m_locales.end(), locale);
	if (found == m_locales.end())
		localeError("load TextGroup for language not present in data file", locale);
	const int index = int(found - m_locales.begin());

	ContentFile file(m_path);
	io::DataInputStream& in = file.in();
	auto readGroup = [&](const std::vector<std::string>& ids) {
		lang::Ptr<TextGroup> group = new TextGroup;
		for (const std::string& id : ids)
			group->set(id, in.readUTF());
		m_groups[locale] = group;
		return group.ptr();
	};
	if (!file.readHeader())
	{
		in.readByte();
		file.skip(in.readInt());
		const std::vector<std::string> ids = readStrings(in, in.readShort());
		file.skip(4 * index);
		file.skip(in.readInt());
		return readGroup(ids);
	}
	std::vector<std::string> ids;
	bool haveIds = false;
	int tag = 0, size = 0;
	while (file.nextChunkOf(ContentTag::TEXT, 1, 1))
	{
		int group = 0;
		while (file.nextChunk(&tag, &size))
		{
			if (tag == int(ContentTag::LIDS))
			{
				ids = readStrings(in, in.readShort());
				haveIds = true;
			}
			else if (tag == int(ContentTag::TXGP))
			{
				if (!haveIds)
					lang::throwError(io::IOException(lang::Format("Missing LIDS chunk before TXGP chunk in file {0}", m_path)));
				if (group++ == index)
					return readGroup(ids);
				file.skip(size);
			}
			else
			{
				file.skip(size);
			}
		}
	}
	return nullptr;
}

void TextGroupSet::releaseTextGroup(const std::string& locale)
{
	if (locale == "ALL")
	{
		m_groups.clear();
		return;
	}
	if (!hasLocale(locale))
		localeError("release TextGroup for language not present in data file", locale);
	m_groups.erase(locale);
}

TextGroup* TextGroupSet::getTextGroup(const std::string& locale)
{
	auto it = m_groups.find(locale);
	if (it != m_groups.end())
		return it->second;
	if (hasLocale(locale))
		localeError("get TextGroup for language which is not loaded", locale);
	localeError("get TextGroup for language not present in data file", locale);
}
}
