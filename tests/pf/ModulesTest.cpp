// The video and web modules are loaded with the first video or page. A module file is checked
// before dlopen: one that is not a complete shared object, or one of another build, is refused
// by name and nothing of it runs; one that dlopen refuses is refused with the loader's error.
// Either way it is not tried again.
#include "PfTestSupport.h"
#include <pf/VideoPlayer.h>
#include <pf/WebKit.h>
#include <pf/WebView.h>
#include <pf/detail/ModuleReset.h>
#include <lang/Exception.h>
#include <cstdlib>
#include <sstream>
#include <elf.h>
#include <link.h>
#include <string>

namespace
{
class ModulesTest : public PfTest
{
protected:
	void SetUp() override
	{
		PfTest::SetUp();
		pf::detail::resetModules();
		makeFolder("modules");
		setenv("ENGINE_MODULE_DIR", (m_home / "modules").c_str(), 1);
		writeFile(m_home / "clip.ogv", "a video file");
		unsetenv("ENGINE_TEST_MODULE_RAN");
	}
	void TearDown() override
	{
		pf::WebView::setPageFactory(nullptr, nullptr);
		pf::detail::resetModules();
		unsetenv("ENGINE_MODULE_DIR");
	}

	std::string module(const char* name) const { return m_home / ("modules/" + std::string(name) + ".so"); }

	/** The lines printed while two videos are asked for. */
	std::string playTwice()
	{
		pf::VideoPlayer player;
		testing::internal::CaptureStdout();
		EXPECT_FALSE(player.playFullscreen(m_home / "clip.ogv", nullptr));
		EXPECT_FALSE(player.playFullscreen(m_home / "clip.ogv", nullptr));
		EXPECT_EQ(0, player.playing());
		std::string out;
		std::istringstream lines(testing::internal::GetCapturedStdout());
		for (std::string line; std::getline(lines, line);)
		{
			if (line.find("Created Throwable(") != 0)
				out += line + "\n";
		}
		return out;
	}
	std::string refusedVideo(const std::string& why) const
	{
		return "Video " + (m_home / "clip.ogv") + " refused: Module pf_video could not be loaded: " + module("pf_video") + why + "\n";
	}
};
}

TEST_F(ModulesTest, ABrokenModuleIsRefusedByNameAndNotTriedAgain)
{
	const std::string junk(256, 'x');
	writeFile(module("pf_webkit"), junk);
	writeFile(module("pf_video"), junk);
	setenv("DISPLAY", ":97", 1);
	pf::webkit::install();
	const std::string refused = "Module pf_webkit could not be loaded: " + module("pf_webkit") + ": invalid ELF header";
	testing::internal::CaptureStdout();
	EXPECT_FALSE(pf::WebView::isWebViewSupported()) << "no pages from a file that is no module";
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	EXPECT_EQ("Web views are not available: " + refused + "\n", testing::internal::GetCapturedStdout());
	for (int attempt = 0; attempt < 2; ++attempt)
	{
		try
		{
			pf::WebView view(0, 0, 32, 32);
			ADD_FAILURE() << "a page was made";
		}
		catch (lang::Exception& e)
		{
			EXPECT_EQ(refused, e.getMessage().format());
		}
	}
	EXPECT_FALSE(pf::webkit::displayAvailable());

	const std::string line = refusedVideo(": invalid ELF header");
	EXPECT_EQ(line + line, playTwice());
}

// A cut module file made dlopen fault (a bus error ended the engine): each cut is refused by name.
TEST_F(ModulesTest, ATruncatedModuleIsRefusedByNameWithoutLoadingIt)
{
	const std::string whole = readFile(PF_VIDEO_MODULE);
	ASSERT_GT(whole.size(), sizeof(ElfW(Ehdr)));
	ElfW(Ehdr) header;
	whole.copy(reinterpret_cast<char*>(&header), sizeof(header));
	ElfW(Phdr) last = {};
	for (int i = 0; i < header.e_phnum; ++i)
	{
		ElfW(Phdr) segment;
		whole.copy(reinterpret_cast<char*>(&segment), sizeof(segment), header.e_phoff + i * sizeof(segment));
		if (segment.p_type == PT_LOAD)
			last = segment;
	}
	ASSERT_GT(last.p_filesz, 2u);
	struct Cut
	{
		size_t size;
		const char* why;
	};
	const Cut cuts[] = {
		{10, ": file too short"},
		{header.e_phoff + sizeof(ElfW(Phdr)), ": truncated (its program headers end at byte "},
		{last.p_offset + last.p_filesz / 2, ": truncated (its loaded segments end at byte "},
		{header.e_shoff + 1, ": truncated (its section headers end at byte "},
	};
	for (const Cut& cut : cuts)
	{
		SCOPED_TRACE(cut.size);
		pf::detail::resetModules();
		writeFile(module("pf_video"), whole.substr(0, cut.size));
		const std::string out = playTwice();
		const std::string line = refusedVideo(cut.why);
		EXPECT_EQ(0u, out.find(line.substr(0, line.size() - 1))) << out;
		EXPECT_EQ(out.substr(0, out.size() / 2), out.substr(out.size() / 2)) << "the same line twice";
	}
}

// The entry names carry the build's version: a module of another build is refused by name,
// before dlopen runs any of its code.
TEST_F(ModulesTest, AModuleOfAnotherBuildIsRefusedByNameAndNeverRuns)
{
	writeFile(module("pf_video"), readFile(PF_TEST_MODULE_STALE));
	writeFile(module("pf_webkit"), readFile(PF_TEST_MODULE_STALE));
	const std::string out = playTwice();
	const std::string line = refusedVideo(
		" is from another build (its entry is engine_pf_video_module_v0000000000000000, this engine's engine_pf_video_module_v");
	EXPECT_EQ(0u, out.find(line.substr(0, line.size() - 1))) << out;
	setenv("DISPLAY", ":97", 1);
	pf::webkit::install();
	testing::internal::CaptureStdout();
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find(
		"Web views are not available: Module pf_webkit could not be loaded: " + module("pf_webkit") + " is from another build"));
	EXPECT_EQ(nullptr, std::getenv("ENGINE_TEST_MODULE_RAN")) << "the module's code ran";

	// One of this build that dlopen cannot complete is refused with the loader's error.
	pf::detail::resetModules();
	writeFile(module("pf_video"), readFile(PF_TEST_MODULE_UNRESOLVED));
	const std::string unresolved = refusedVideo(": undefined symbol: engine_test_function_nobody_defines");
	EXPECT_EQ(unresolved + unresolved, playTwice());
}
