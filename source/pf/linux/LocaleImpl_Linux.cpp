#include <pf/Locale.h>
#include <cstdlib>
#include <sstream>

namespace pf
{
class LocaleImpl : public lang::Object
{
};

namespace
{
// "de_DE.UTF-8@euro" -> "de_DE@euro"; "" for the C and POSIX locales.
std::string withoutCodeset(const std::string& name)
{
	std::string text = name;
	const size_t dot = text.find('.');
	if (dot != std::string::npos)
	{
		const size_t at = text.find('@', dot);
		text.erase(dot, at == std::string::npos ? std::string::npos : at - dot);
	}
	if (text == "C" || text == "POSIX")
		return std::string();
	return text;
}
}

Locale::Locale() :
	m_this(new LocaleImpl)
{
}

Locale::~Locale() {}

std::string Locale::convert(const std::string& code)
{
	std::string out;
	if (code.size() == 2)
	{
		for (char c : code)
			out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
		out += '_';
		for (char c : code)
			out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
		return out;
	}
	out = code;
	for (char& c : out)
	{
		if (c == '-')
			c = '_';
	}
	if (out == "zh_Hans")
		return "zh_CN";
	if (out == "zh_Hant")
		return "zh_TW";
	return out;
}

std::vector<std::string> Locale::getPreferedLanguages()
{
	std::vector<std::string> codes;
	if (const char* list = std::getenv("LANGUAGE"))
	{
		std::istringstream in(list);
		std::string part;
		while (std::getline(in, part, ':'))
		{
			part = withoutCodeset(part);
			if (!part.empty())
				codes.push_back(part);
		}
	}
	if (codes.empty())
	{
		for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
		{
			const char* value = std::getenv(variable);
			if (!value || !value[0])
				continue;
			const std::string code = withoutCodeset(value);
			if (!code.empty())
				codes.push_back(code);
			break;
		}
	}
	std::vector<std::string> languages;
	for (const std::string& code : codes)
		languages.push_back(convert(code));
	if (languages.empty())
		languages.push_back("en_EN");
	return languages;
}
}
