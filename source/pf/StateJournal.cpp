#include <pf/StateJournal.h>
#include <pf/StateFile.h>
#include <lang/Debug.h>
#include <cjson/cJSON.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pf
{
StateJournal::StateJournal(const std::string& filePath) :
	m_path(filePath + ".journal")
{
}

bool StateJournal::append(const cJSON* record) const
{
	std::unique_ptr<char, void (*)(void*)> text(cJSON_PrintUnformatted(record), cJSON_free);
	if (!text)
	{
		lang::Debug::printf("Failed to write to %s: out of memory\n", m_path.c_str());
		return false;
	}
	const std::string line = std::string(text.get()) + "\n";
	const int fd = open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
	if (fd < 0)
	{
		lang::Debug::printf("Failed to write to %s (open: %s)\n", m_path.c_str(), std::strerror(errno));
		return false;
	}
	struct stat before;
	const bool sized = fstat(fd, &before) == 0;
	const ssize_t written = write(fd, line.data(), line.size());
	const int error = errno;
	bool whole = written == static_cast<ssize_t>(line.size());
	// A part of a line would be damage at the next start: take it back.
	if (!whole && written > 0 && sized && ftruncate(fd, before.st_size) != 0)
		lang::Debug::printf("%s: a part line could not be taken back (%s)\n", m_path.c_str(), std::strerror(errno));
	if (close(fd) != 0 && whole)
	{
		lang::Debug::printf("Failed to write to %s (close: %s)\n", m_path.c_str(), std::strerror(errno));
		whole = false;
	}
	else if (!whole)
		lang::Debug::printf("Failed to write to %s (write: %s)\n", m_path.c_str(), written < 0 ? std::strerror(error) : "short write");
	return whole;
}

bool StateJournal::read(const std::function<bool(const cJSON& record)>& apply) const
{
	std::string text;
	if (!StateFile(m_path).read(text))
		return true;
	std::vector<std::string> damaged;
	size_t line = 0;
	for (size_t at = 0; at < text.size();)
	{
		++line;
		const size_t end = text.find('\n', at);
		// A last line without its end was cut short while it was written.
		const bool whole = end != std::string::npos;
		const size_t stop = whole ? end : text.size();
		std::unique_ptr<cJSON, void (*)(cJSON*)> record(cJSON_ParseWithLength(text.data() + at, stop - at), cJSON_Delete);
		if (!whole || !cJSON_IsObject(record.get()) || !apply(*record))
			damaged.push_back("line " + std::to_string(line) + " is damaged and not applied");
		at = stop + 1;
	}
	if (damaged.empty())
		return true;
	StateFile(m_path).reportDamage(damaged);
	return false;
}

bool StateJournal::clear() const
{
	if (unlink(m_path.c_str()) == 0 || errno == ENOENT)
		return true;
	lang::Debug::printf("Failed to clear %s (%s)\n", m_path.c_str(), std::strerror(errno));
	return false;
}
}
