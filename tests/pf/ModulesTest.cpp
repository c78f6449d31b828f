// The video and web modules are loaded with the first video or page; a module that is not a
// library is refused then, by name and with the loader's error, and not tried again.
#include "PfTestSupport.h"
#include <pf/VideoPlayer.h>
#include <pf/WebKit.h>
#include <pf/WebView.h>
#include <lang/Exception.h>
#include <cstdlib>
#include <string>

TEST_F(PfTest, ABrokenModuleIsRefusedByNameAndNotTriedAgain)
{
	makeFolder("modules");
	const std::string junk(256, 'x');
	writeFile(m_home / "modules/pf_webkit.so", junk);
	writeFile(m_home / "modules/pf_video.so", junk);
	setenv("ENGINE_MODULE_DIR", (m_home / "modules").c_str(), 1);
	setenv("DISPLAY", ":97", 1);
	pf::webkit::install();
	EXPECT_TRUE(pf::WebView::isWebViewSupported()) << "offering pages loads nothing";
	for (int attempt = 0; attempt < 2; ++attempt)
	{
		try
		{
			pf::WebView view(0, 0, 32, 32);
			ADD_FAILURE() << "a page was made";
		}
		catch (lang::Exception& e)
		{
			EXPECT_EQ("Module pf_webkit could not be loaded: " + (m_home / "modules/pf_webkit.so") + ": invalid ELF header",
				e.getMessage().format());
		}
	}
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	EXPECT_FALSE(pf::webkit::displayAvailable());

	writeFile(m_home / "clip.ogv", "a video file");
	pf::VideoPlayer player;
	testing::internal::CaptureStdout();
	EXPECT_FALSE(player.playFullscreen(m_home / "clip.ogv", nullptr));
	EXPECT_FALSE(player.playFullscreen(m_home / "clip.ogv", nullptr));
	const std::string out = testing::internal::GetCapturedStdout();
	const std::string line = "Video " + (m_home / "clip.ogv") + " refused: Module pf_video could not be loaded: " +
		(m_home / "modules/pf_video.so") + ": invalid ELF header\n";
	EXPECT_NE(out.find(line + line), std::string::npos) << out;
	EXPECT_EQ(0, player.playing());
	pf::WebView::setPageFactory(nullptr, nullptr);
	unsetenv("ENGINE_MODULE_DIR");
}
