// datapack pack SRC OUT: SRC as the one entry of a 7z archive, enciphered with the static key.
// datapack unpack FILE: prints entry 0 of such a file.
#include <cipher/Cipher.h>
#include <io/ByteArrayInputStream.h>
#include <io/ZipFileInputStream.h>
#include <lang/Exception.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
// Reads a whole regular file; on failure error says why (a folder, a missing file...).
bool readFile(const std::string& name, std::vector<unsigned char>& data, std::string& error)
{
	const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0)
	{
		error = std::strerror(errno);
		return false;
	}
	struct stat st;
	if (::fstat(fd, &st) != 0)
	{
		error = std::strerror(errno);
		::close(fd);
		return false;
	}
	if (!S_ISREG(st.st_mode))
	{
		error = S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file";
		::close(fd);
		return false;
	}
	data.clear();
	unsigned char buf[65536];
	for (;;)
	{
		const ssize_t n = ::read(fd, buf, sizeof(buf));
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0)
		{
			error = std::strerror(errno);
			::close(fd);
			return false;
		}
		if (n == 0)
			break;
		data.insert(data.end(), buf, buf + n);
	}
	::close(fd);
	return true;
}

bool writeFile(const std::string& name, const std::vector<unsigned char>& data, std::string& error)
{
	const std::string tmp = name + ".tmp";
	FILE* out = std::fopen(tmp.c_str(), "wb");
	if (!out)
	{
		error = std::strerror(errno);
		return false;
	}
	const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
	const int writeErrno = errno;
	if (std::fclose(out) != 0 || !written)
	{
		error = std::strerror(written ? errno : writeErrno);
		std::remove(tmp.c_str());
		return false;
	}
	if (std::rename(tmp.c_str(), name.c_str()) != 0)
	{
		error = std::strerror(errno);
		std::remove(tmp.c_str());
		return false;
	}
	return true;
}

// Runs 7zz in the source's folder so the entry is named by the file name alone.
bool archive(const std::string& src, const std::string& archiveName)
{
	const size_t slash = src.rfind('/');
	const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : src.substr(0, slash));
	const std::string file = slash == std::string::npos ? src : src.substr(slash + 1);
	const pid_t pid = fork();
	if (pid < 0)
		return false;
	if (pid == 0)
	{
		if (chdir(dir.c_str()) != 0)
			_exit(127);
		execlp("7zz", "7zz", "a", "-t7z", "-m0=LZMA2", "-mtm=off", "-mtc=off", "-mta=off", "-mtr=off",
			"-bso0", "-bsp0", archiveName.c_str(), "--", file.c_str(), static_cast<char*>(nullptr));
		_exit(127);
	}
	int status = 0;
	if (waitpid(pid, &status, 0) != pid)
		return false;
	return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int pack(const std::string& src, const std::string& out)
{
	std::vector<unsigned char> probe;
	std::string error;
	if (!readFile(src, probe, error))
	{
		std::fprintf(stderr, "datapack: cannot read %s: %s\n", src.c_str(), error.c_str());
		return 1;
	}
	// 7zz adds to an existing archive, so each pack starts in a fresh folder.
	char tmpl[] = "/tmp/datapack.XXXXXX";
	const char* tmpDir = mkdtemp(tmpl);
	if (!tmpDir)
	{
		std::fprintf(stderr, "datapack: cannot make a temporary folder for %s: %s\n", src.c_str(), std::strerror(errno));
		return 1;
	}
	const std::string archiveName = std::string(tmpDir) + "/entry.7z";
	std::vector<unsigned char> plain, cipher;
	const bool archived = archive(src, archiveName) && readFile(archiveName, plain, error);
	std::remove(archiveName.c_str());
	rmdir(tmpDir);
	if (!archived)
	{
		std::fprintf(stderr, "datapack: 7zz failed to archive %s\n", src.c_str());
		return 1;
	}
	if (!encrypt(getStaticKey(), plain, cipher))
	{
		std::fprintf(stderr, "datapack: cannot encipher %s\n", src.c_str());
		return 1;
	}
	if (!writeFile(out, cipher, error))
	{
		std::fprintf(stderr, "datapack: cannot write %s: %s\n", out.c_str(), error.c_str());
		return 1;
	}
	return 0;
}

int unpack(const std::string& name)
{
	std::vector<unsigned char> cipher, plain;
	std::string error;
	if (!readFile(name, cipher, error))
	{
		std::fprintf(stderr, "datapack: cannot read %s: %s\n", name.c_str(), error.c_str());
		return 1;
	}
	if (!decrypt(getStaticKey(), cipher, plain))
	{
		std::fprintf(stderr, "datapack: %s does not decipher\n", name.c_str());
		return 1;
	}
	try
	{
		io::ByteArrayInputStream bytes(plain.data(), static_cast<int>(plain.size()));
		io::ZipFileInputStream zip(bytes, io::ZipFileInputStream::FILEFORMAT_7ZIP);
		lang::Ptr<io::ZipEntryInputStream> entry = zip.getEntryStream(0);
		if (!entry)
		{
			std::fprintf(stderr, "datapack: %s holds no entry\n", name.c_str());
			return 1;
		}
		char buf[4096];
		int n;
		while ((n = entry->read(buf, sizeof(buf))) > 0)
			std::fwrite(buf, 1, static_cast<size_t>(n), stdout);
		return n < 0 ? 1 : 0;
	}
	catch (lang::Exception& e)
	{
		std::fprintf(stderr, "datapack: %s: %s\n", name.c_str(), e.getMessage().format().c_str());
		return 1;
	}
}

int usage()
{
	std::fprintf(stderr, "usage: datapack pack SRC OUT | datapack unpack FILE\n");
	return 2;
}
}

int main(int argc, char** argv)
{
	try
	{
		if (argc == 4 && std::string(argv[1]) == "pack")
			return pack(argv[2], argv[3]);
		if (argc == 3 && std::string(argv[1]) == "unpack")
			return unpack(argv[2]);
	}
	catch (const std::exception& e)
	{
		std::fprintf(stderr, "datapack: %s: %s\n", argv[2], e.what());
		return 1;
	}
	return usage();
}
