#include "ModuleLoader.h"
#include <pf/detail/ModuleReset.h>
#include <pf/MainThreadQueue.h>
#include <pf/WebView.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf
{
namespace detail
{
namespace
{
std::map<std::string, ModuleState>& states()
{
	static std::map<std::string, ModuleState> all;
	return all;
}

std::string modulePath(const std::string& file)
{
	const char* folder = std::getenv("ENGINE_MODULE_DIR");
	if (folder && *folder)
		return std::string(folder) + "/" + file;
	const std::string beside = io::detail::executableFolder() + "/" + file;
#ifdef PF_MODULE_BUILD_DIR
	if (access(beside.c_str(), F_OK) != 0)
		return std::string(PF_MODULE_BUILD_DIR) + "/" + file;
#endif
	return beside;
}

/** A module file read by its own offsets, each checked against its size. */
class ElfFile
{
public:
	explicit ElfFile(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)), m_size(0)
	{
		struct stat st;
		if (m_fd >= 0 && fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode))
			m_size = static_cast<uint64_t>(st.st_size);
	}
	~ElfFile()
	{
		if (m_fd >= 0)
			close(m_fd);
	}
	ElfFile(const ElfFile&) = delete;
	ElfFile& operator=(const ElfFile&) = delete;

	bool opened() const { return m_fd >= 0; }
	uint64_t size() const { return m_size; }
	/** Whether count items of itemSize bytes at offset lie inside the file. */
	bool holds(uint64_t offset, uint64_t count, uint64_t itemSize) const
	{
		if (itemSize != 0 && count > (UINT64_MAX - offset) / itemSize)
			return false;
		return offset + count * itemSize <= m_size;
	}
	bool read(void* to, uint64_t offset, uint64_t bytes) const
	{
		char* at = static_cast<char*>(to);
		while (bytes > 0)
		{
			const ssize_t n = pread(m_fd, at, bytes, static_cast<off_t>(offset));
			if (n <= 0)
				return false;
			at += n;
			offset += static_cast<uint64_t>(n);
			bytes -= static_cast<uint64_t>(n);
		}
		return true;
	}

private:
	int m_fd;
	uint64_t m_size;
};

std::string truncated(const char* part, uint64_t end, uint64_t size)
{
	const std::string at = end ? " at byte " + std::to_string(end) : " past the end";
	return std::string("truncated (") + part + " end" + at + "; the file has " + std::to_string(size) + ")";
}

uint64_t endOf(uint64_t offset, uint64_t count, uint64_t itemSize)
{
	return itemSize != 0 && count > (UINT64_MAX - offset) / itemSize ? 0 : offset + count * itemSize;
}

/** What is wrong with the file as a shared object of this machine's kind, or "". */
std::string elfProblem(const ElfFile& file, std::vector<ElfW(Shdr)>& sections)
{
	ElfW(Ehdr) header;
	if (file.size() < EI_NIDENT || !file.read(&header, 0, EI_NIDENT))
		return file.size() < EI_NIDENT ? "file too short" : "cannot be read";
	if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
		return "invalid ELF header";
	if (header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32))
		return "wrong ELF class for this machine";
	if (file.size() < sizeof(header) || !file.read(&header, 0, sizeof(header)))
		return "file too short";
	if (header.e_type != ET_DYN)
		return "not a shared object";
	if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0)
		return "no program headers";
	if (!file.holds(header.e_phoff, header.e_phnum, sizeof(ElfW(Phdr))))
		return truncated("its program headers", endOf(header.e_phoff, header.e_phnum, sizeof(ElfW(Phdr))), file.size());
	std::vector<ElfW(Phdr)> segments(header.e_phnum);
	if (!file.read(segments.data(), header.e_phoff, segments.size() * sizeof(ElfW(Phdr))))
		return "cannot be read";
	for (const ElfW(Phdr)& segment : segments)
	{
		if ((segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC) && !file.holds(segment.p_offset, segment.p_filesz, 1))
			return truncated("its loaded segments", endOf(segment.p_offset, segment.p_filesz, 1), file.size());
	}
	if (header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shnum == 0)
		return "no section headers";
	if (!file.holds(header.e_shoff, header.e_shnum, sizeof(ElfW(Shdr))))
		return truncated("its section headers", endOf(header.e_shoff, header.e_shnum, sizeof(ElfW(Shdr))), file.size());
	sections.resize(header.e_shnum);
	if (!file.read(sections.data(), header.e_shoff, sections.size() * sizeof(ElfW(Shdr))))
		return "cannot be read";
	for (const ElfW(Shdr)& section : sections)
	{
		if (section.sh_type != SHT_NOBITS && !file.holds(section.sh_offset, section.sh_size, 1))
			return truncated("its sections", endOf(section.sh_offset, section.sh_size, 1), file.size());
	}
	return std::string();
}

/** The names the module exports that begin with prefix. */
std::vector<std::string> exported(const ElfFile& file, const std::vector<ElfW(Shdr)>& sections, const std::string& prefix)
{
	std::vector<std::string> names;
	for (const ElfW(Shdr)& table : sections)
	{
		if (table.sh_type != SHT_DYNSYM || table.sh_link >= sections.size())
			continue;
		const ElfW(Shdr)& strings = sections[table.sh_link];
		std::vector<ElfW(Sym)> symbols(table.sh_size / sizeof(ElfW(Sym)));
		std::string text(strings.sh_size, '\0');
		if (!file.read(symbols.data(), table.sh_offset, symbols.size() * sizeof(ElfW(Sym))) ||
			!file.read(&text[0], strings.sh_offset, text.size()))
			continue;
		for (const ElfW(Sym)& symbol : symbols)
		{
			if (symbol.st_shndx == SHN_UNDEF || symbol.st_name >= text.size())
				continue;
			const char* name = text.c_str() + symbol.st_name;
			if (std::strncmp(name, prefix.c_str(), prefix.size()) == 0)
				names.push_back(name);
		}
	}
	return names;
}
}

ModuleState& moduleState(const char* name)
{
	return states()[name];
}

void resetModules()
{
	states().clear();
}

bool moduleFound(const char* name, std::string& path)
{
	path = modulePath(std::string(name) + ".so");
	return access(path.c_str(), R_OK) == 0;
}

std::string checkModuleFile(const char* name, const char* entry, const std::string& path)
{
	const std::string refused = std::string("Module ") + name + " could not be loaded: " + path;
	ElfFile file(path);
	// One that cannot be opened is left to dlopen, which says why.
	if (!file.opened())
		return std::string();
	std::vector<ElfW(Shdr)> sections;
	const std::string problem = elfProblem(file, sections);
	if (!problem.empty())
		return refused + ": " + problem;
	// The entry's name without its version: the entries of every build begin with it.
	const std::string base(entry, std::strrchr(entry, '_') ? std::strrchr(entry, '_') - entry : 0);
	const std::vector<std::string> entries = exported(file, sections, base);
	for (const std::string& found : entries)
	{
		if (found == entry)
			return std::string();
	}
	if (!entries.empty())
		return refused + " is from another build (its entry is " + entries.front() + ", this engine's " + entry + ")";
	return refused + ": it has no entry " + entry;
}

void* loadModuleEntry(const char* name, const char* entry)
{
	const std::string path = modulePath(std::string(name) + ".so");
	// dlopen maps the file as its headers say and runs its code: both wait for the check.
	const std::string problem = checkModuleFile(name, entry, path);
	if (!problem.empty())
		lang::throwError(lang::Exception(lang::Format("{0}", problem)));
	// RTLD_NOW: a module that cannot resolve everything fails here, not in the middle of a frame.
	void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
	if (!handle)
	{
		const char* error = dlerror();
		lang::throwError(lang::Exception(lang::Format("Module {0} could not be loaded: {1}", std::string(name),
			std::string(error ? error : path.c_str()))));
	}
	void* symbol = dlsym(handle, entry);
	if (!symbol)
	{
		const char* error = dlerror();
		lang::throwError(lang::Exception(lang::Format("Module {0} ({1}) has no entry {2}: {3}", std::string(name), path,
			std::string(entry), std::string(error ? error : ""))));
	}
	return symbol;
}

const ModuleHost* moduleHost()
{
	static const ModuleHost host = {
		[](std::function<void()> task) { MainThreadQueue::post(std::move(task)); },
		[](const std::string& line) { lang::Debug::printf("%s\n", line.c_str()); },
		[](int& x, int& y) { return WebView::locateWindow(x, y); },
	};
	return &host;
}
}
}
