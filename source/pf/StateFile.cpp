#include <pf/StateFile.h>
#include <io/Files.h>
#include <lang/Debug.h>
#include <cjson/cJSON.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace pf
{
StateFile::StateFile(const std::string& path) :
	m_path(path)
{
}

bool StateFile::read(std::string& bytes) const
{
	std::ifstream in(m_path, std::ios::binary);
	if (!in)
		return false;
	std::ostringstream text;
	text << in.rdbuf();
	bytes = text.str();
	return true;
}

cJSON* StateFile::load(int expectedType) const
{
	std::string bytes;
	if (!read(bytes))
		return nullptr;
	cJSON* root = cJSON_ParseWithLength(bytes.data(), bytes.size());
	if (root && (expectedType == 0 || (root->type & 0xFF) == expectedType))
		return root;
	cJSON_Delete(root);
	// Keep the broken file for a look, out of the way of the next save.
	const std::string bad = asideName();
	if (!bad.empty() && std::rename(m_path.c_str(), bad.c_str()) == 0)
		lang::Debug::printf("%s is not valid; moved to %s and starting empty\n", m_path.c_str(), bad.c_str());
	else
		lang::Debug::printf("%s is not valid (and could not be moved aside: %s); starting empty\n", m_path.c_str(), std::strerror(errno));
	return nullptr;
}

std::string StateFile::asideName() const
{
	// An earlier copy is never replaced: each may hold something no other file has.
	for (int i = 1; i <= 100; ++i)
	{
		const std::string name = m_path + ".bad" + (i == 1 ? std::string() : "." + std::to_string(i));
		struct stat st;
		if (lstat(name.c_str(), &st) != 0 && errno == ENOENT)
			return name;
	}
	errno = EEXIST;
	return std::string();
}

std::string StateFile::keepCopy() const
{
	std::string bytes;
	const std::string copy = read(bytes) ? asideName() : std::string();
	if (copy.empty() || !io::replaceFile(copy, bytes))
	{
		lang::Debug::printf("%s could not be copied aside; it stays as it is\n", m_path.c_str());
		return std::string();
	}
	return copy;
}

bool StateFile::reportDamage(const std::vector<std::string>& faults) const
{
	const std::string copy = keepCopy();
	for (const std::string& fault : faults)
		lang::Debug::printf("%s: %s%s%s\n", m_path.c_str(), fault.c_str(), copy.empty() ? "" : "; the file as it was is kept as ", copy.c_str());
	return !copy.empty();
}

bool StateFile::save(const std::string& text) const
{
	return io::replaceFile(m_path, text);
}

bool StateFile::save(const cJSON* value) const
{
	std::unique_ptr<char, void (*)(void*)> text(cJSON_Print(value), cJSON_free);
	if (!text)
	{
		lang::Debug::printf("Failed to save %s: out of memory\n", m_path.c_str());
		return false;
	}
	return io::replaceFile(m_path, std::string(text.get()) + "\n");
}
}
