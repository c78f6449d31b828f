// datapack pack SRC OUT: SRC as the one entry of a 7z archive, enciphered with the static key.
// datapack unpack FILE: prints entry 0 of such a file.
#include <cipher/Cipher.h>
#include <io/ByteArrayInputStream.h>
#include <io/ZipFileInputStream.h>
#include <lang/Exception.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
bool readFile(const std::string& name, std::vector<unsigned char>& data)
{
	std::ifstream in(name, std::ios::binary);
	if (!in)
		return false;
	data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	return !in.bad();
}

bool writeFile(const std::string& name, const std::vector<unsigned char>& data)
{
	const std::string tmp = name + ".tmp";
	{
		std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
		out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
		if (!out.flush())
			return false;
	}
	return std::rename(tmp.c_str(), name.c_str()) == 0;
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
	if (!readFile(src, probe))
	{
		std::fprintf(stderr, "datapack: cannot read %s\n", src.c_str());
		return 1;
	}
	// 7zz adds to an existing archive, so each pack starts in a fresh folder.
	char tmpl[] = "/tmp/datapack.XXXXXX";
	const char* tmpDir = mkdtemp(tmpl);
	if (!tmpDir)
	{
		std::fprintf(stderr, "datapack: cannot make a temporary folder for %s\n", src.c_str());
		return 1;
	}
	const std::string archiveName = std::string(tmpDir) + "/entry.7z";
	std::vector<unsigned char> plain, cipher;
	const bool archived = archive(src, archiveName) && readFile(archiveName, plain);
	std::remove(archiveName.c_str());
	rmdir(tmpDir);
	if (!archived)
	{
		std::fprintf(stderr, "datapack: 7zz failed to archive %s\n", src.c_str());
		return 1;
	}
	if (!encrypt(getStaticKey(), plain, cipher) || !writeFile(out, cipher))
	{
		std::fprintf(stderr, "datapack: cannot write %s\n", out.c_str());
		return 1;
	}
	return 0;
}

int unpack(const std::string& name)
{
	std::vector<unsigned char> cipher, plain;
	if (!readFile(name, cipher))
	{
		std::fprintf(stderr, "datapack: cannot read %s\n", name.c_str());
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
}

int main(int argc, char** argv)
{
	if (argc == 4 && std::string(argv[1]) == "pack")
		return pack(argv[2], argv[3]);
	if (argc == 3 && std::string(argv[1]) == "unpack")
		return unpack(argv[2]);
	std::fprintf(stderr, "usage: datapack pack SRC OUT | datapack unpack FILE\n");
	return 2;
}
