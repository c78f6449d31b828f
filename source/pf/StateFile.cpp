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

namespace pf
{
StateFile::StateFile(const std::string& path) :
	m_path(path)
{
}

cJSON* StateFile::load(int expectedType) const
{
	std::ifstream in(m_path, std::ios::binary);
	if (!in)
		return nullptr;
	std::ostringstream text;
	text << in.rdbuf();
	in.close();
	const std::string bytes = text.str();
	cJSON* root = cJSON_ParseWithLength(bytes.data(), bytes.size());
	if (root && (expectedType == 0 || (root->type & 0xFF) == expectedType))
		return root;
	cJSON_Delete(root);
	// Keep the broken file for a look, out of the way of the next save.
	const std::string bad = m_path + ".bad";
	if (std::rename(m_path.c_str(), bad.c_str()) == 0)
		lang::Debug::printf("%s is not valid; moved to %s and starting empty\n", m_path.c_str(), bad.c_str());
	else
		lang::Debug::printf("%s is not valid (and could not be moved aside: %s); starting empty\n", m_path.c_str(), std::strerror(errno));
	return nullptr;
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
