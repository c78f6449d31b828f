// qf3d: builds the engine's content files from a readable description, and prints them.
#include <qf3d/Build.h>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace
{
int usage()
{
	std::fprintf(stderr,
		"usage: qf3d build <description.lua> --out <dir>\n"
		"       qf3d dump <file>\n");
	return 2;
}
}

int main(int argc, char** argv)
{
	try
	{
		if (argc == 5 && !std::strcmp(argv[1], "build") && !std::strcmp(argv[3], "--out"))
		{
			for (const std::string& f : qf3d::build(argv[2], argv[4]))
				std::printf("wrote %s\n", f.c_str());
			return 0;
		}
		if (argc == 3 && !std::strcmp(argv[1], "dump"))
		{
			std::fputs(qf3d::dump(argv[2]).c_str(), stdout);
			return 0;
		}
	}
	catch (const std::exception& e)
	{
		std::fprintf(stderr, "qf3d: %s\n", e.what());
		return 1;
	}
	return usage();
}
