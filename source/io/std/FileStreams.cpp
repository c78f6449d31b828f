#include "FileStreams.h"
#include <io/PathName.h>

namespace io
{
namespace detail
{
std::string shortPath(const std::string& path)
{
	if (path.size() >= 129)
		return "... " + path.substr(path.size() - 124);
	return path;
}

std::string pathUnderRoot(const std::string& root, const std::string& name)
{
	std::string n = name;
	if (!n.empty() && n[0] == '/')
		n.erase(0, 1);
	return PathName(root, n).toString();
}

std::string decimal(long long n)
{
	return std::to_string(n);
}
}
}
