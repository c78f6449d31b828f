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
		"usage: qf3d build [--strict] <description.lua> --out <dir>\n"
		"         --strict: a character missing from a font's face fails the build\n"
		"       qf3d dump <file>\n");
	return 2;
}
}

int main(int argc, char** argv)
{
	try
	{
		if (argc >= 2 && !std::strcmp(argv[1], "build"))
		{
			qf3d::BuildOptions options;
			const char* description = nullptr;
			const char* out = nullptr;
			for (int i = 2; i < argc; ++i)
			{
				if (!std::strcmp(argv[i], "--strict"))
					options.strict = true;
				else if (!std::strcmp(argv[i], "--out") && i + 1 < argc && !out)
					out = argv[++i];
				else if (!description && argv[i][0] != '-')
					description = argv[i];
				else
					return usage();
			}
			if (!description || !out)
				return usage();
			for (const std::string& f : qf3d::build(description, out, options))
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
