#ifndef TESTS_SUPPORT_TEMPDIR_H
#define TESTS_SUPPORT_TEMPDIR_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace support
{
// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir
{
public:
	TempDir()
	{
		const char* base = std::getenv("TMPDIR");
		std::string pattern = std::string(base && *base ? base : "/tmp") + "/engine-test-XXXXXX";
		m_path = mkdtemp(&pattern[0]) ? pattern : std::string();
	}
	~TempDir()
	{
		if (!m_path.empty())
			std::system(("rm -rf '" + m_path + "'").c_str());
	}
	const std::string& path() const { return m_path; }
	std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
	std::string m_path;
};

inline void writeFile(const std::string& path, const std::string& text)
{
	std::ofstream(path, std::ios::binary) << text;
}

inline std::string readFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True also for a symbolic link, whatever it points to.
inline bool fileExists(const std::string& path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0;
}
}

#endif
