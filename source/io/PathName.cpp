#include <io/PathName.h>
#include <lang/assert.h>
#include <cstring>

namespace io
{
namespace
{
// Resolves "." and ".." path components in place. Only whole components
// count, so "a..png" or "x./y" stay as they are. A path that begins with
// ".." keeps every dot component; "." or ".." as the last component stays.
void resolveDots(std::string& s)
{
	size_t p = 0;
	while (p < s.size())
	{
		const bool componentStart = (p == 0 || s[p - 1] == '/');
		if (componentStart && s[p] == '.')
		{
			if (p + 1 < s.size() && s[p + 1] == '/')
			{
				s.erase(p, 2);
				continue;
			}
			if (p + 2 < s.size() && s[p + 1] == '.' && s[p + 2] == '/')
			{
				if (p == 0)
					return;
				// Doubled slashes separate like one: "a//../b" is "b", as the file system sees it.
				size_t sep = p - 1;
				while (sep > 0 && s[sep - 1] == '/')
					--sep;
				if (sep == 0)
				{
					// Nothing above the root: "/../a" is "/a".
					s.erase(1, p + 2);
					p = 1;
					continue;
				}
				const size_t slash = s.rfind('/', sep - 1);
				const size_t begin = (slash == std::string::npos) ? 0 : slash + 1;
				s.erase(begin, p + 3 - begin);
				p = begin;
				continue;
			}
		}
		++p;
	}
}
}

PathName::PathName(const std::string& path)
{
	parse(path.c_str(), nullptr);
}

PathName::PathName(const std::string& dir, const std::string& name)
{
	parse(dir.c_str(), name.c_str());
}

void PathName::parse(const char* path, const char* name)
{
	LANG_ASSERT(path != 0);

	std::string full = path;
	if (name)
	{
		if (*path && (*name == '/' || *name == '\\'))
			++name;
		if (!full.empty() && full.back() != '/' && full.back() != '\\')
			full += '/';
		full += name;
	}
	for (char& c : full)
		if (c == '\\')
			c = '/';
	resolveDots(full);

	m_path = full;
	m_drv.clear();
	m_dir.clear();
	m_basename.clear();
	m_suffix.clear();

	size_t rest = 0;
	const size_t colon = full.find(':');
	if (colon != std::string::npos)
	{
		m_drv = full.substr(0, colon + 1);
		rest = colon + 1;
	}
	const size_t slash = full.rfind('/');
	if (slash != std::string::npos && slash >= rest)
	{
		m_dir = full.substr(rest, slash + 1 - rest);
		rest = slash + 1;
	}
	const size_t dot = full.rfind('.');
	if (dot != std::string::npos && dot >= rest)
	{
		m_basename = full.substr(rest, dot - rest);
		m_suffix = full.substr(dot);
	}
	else
	{
		m_basename = full.substr(rest);
	}
}

PathName PathName::parent() const
{
	std::string s = m_path;
	if (!s.empty() && s.back() == '/')
		s.pop_back();
	const size_t slash = s.rfind('/');
	if (slash == std::string::npos)
		return PathName();
	// The parent of "/a" is the root itself, not the empty path.
	return PathName(slash == 0 ? std::string("/") : s.substr(0, slash));
}

std::string PathName::filename() const
{
	return m_basename + m_suffix;
}
}
