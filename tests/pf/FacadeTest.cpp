#include "PfTestSupport.h"
#include <pf/AppSettings.h>
#include <pf/DeviceID.h>
#include <pf/DeviceInfo.h>
#include <pf/EmailerSender.h>
#include <pf/Launcher.h>
#include <pf/Locale.h>
#include <pf/UserDefaults.h>
#include <pf/DeviceFacts.h>
#include <pf/LocalNotifications.h>
#include <util/SHA1.h>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <cstdlib>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace pf;

namespace
{
std::vector<DeviceFacts::Interface> noInterfaces() { return {}; }

std::vector<DeviceFacts::Interface> oneEthernet()
{
	return {{"eth0", 1, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, false, true}};
}

// Waits, at most 10 s, for what the opener script writes: the shell makes the file empty first.
std::string waitForFile(const std::string& path)
{
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
	std::string text;
	while ((text = fileExists(path) ? readFile(path) : std::string()).empty() && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	return text;
}
}

TEST_F(PfTest, AppSettingsReadBooleansFromTheDefaults)
{
	AppSettings settings;
	EXPECT_FALSE(settings.isBoolean("notifications"));
	EXPECT_FALSE(settings.getBoolean("notifications"));
	makeFolder("config/engine");
	writeFile(UserDefaults::path(), "{\"notifications\": true, \"notificationsSound\": false}");
	EXPECT_TRUE(settings.isBoolean("notifications"));
	EXPECT_TRUE(settings.getBoolean("notifications"));
	EXPECT_TRUE(settings.isBoolean("notificationsSound"));
	EXPECT_FALSE(settings.getBoolean("notificationsSound"));
}

TEST(DeviceID, HashesTheDeviceInterfaceOrUnavailable)
{
	DeviceFacts::setInterfaceLister(&noInterfaces);
	DeviceID::Impl impl;
	const std::vector<char> none = impl.getDeviceID();
	EXPECT_EQ(std::string(none.begin(), none.end()), "unavailable");
	EXPECT_EQ(DeviceID().getDeviceIDHash(), util::SHA1::hash(std::string("unavailable")));

	DeviceFacts::setInterfaceLister(&oneEthernet);
	const std::vector<char> mac = impl.getDeviceID();
	EXPECT_EQ(std::string(mac.begin(), mac.end()), "00:1A:2B:3C:4D:5E");
	const std::string hash = DeviceID().getDeviceIDHash();
	EXPECT_EQ(hash, util::SHA1::hash(std::string("00:1A:2B:3C:4D:5E")));
	EXPECT_EQ(hash.size(), 40u);
	DeviceFacts::setInterfaceLister(nullptr);
}

TEST(DeviceInfo, VersionAndModelAreTheSystems)
{
	DeviceInfo info;
	EXPECT_FALSE(info.getOSVersion().empty());
	EXPECT_FALSE(info.getModel().empty());
}

TEST_F(PfTest, NotificationsDoNotDependOnTheSystemVersion)
{
	// A system whose version number is below 4 (Alpine 3.19): a child sees its own os-release in a private mount namespace.
	writeFile(m_home / "os-release", "NAME=\"Alpine Linux\"\nID=alpine\nVERSION_ID=3.19.1\n");
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
			mount((m_home / "os-release").c_str(), "/etc/os-release", nullptr, MS_BIND, nullptr) != 0)
			_exit(77);
		if (DeviceInfo().getOSVersion() != "3.19.1")
			_exit(2);
		LocalNotifications notifications;
		const bool scheduled = notifications.addNotificationAfter("later", 60, "text") && LocalNotifications::pending().size() == 1;
		_exit(LocalNotifications::isNotificationSupportAvailable() && scheduled && notifications.removeNotification("later") ? 0 : 1);
	}
	int status = 0;
	ASSERT_EQ(child, waitpid(child, &status, 0));
	ASSERT_TRUE(WIFEXITED(status));
	if (WEXITSTATUS(status) == 77)
		GTEST_SKIP() << "no private mount namespace for this user";
	EXPECT_EQ(0, WEXITSTATUS(status)) << "2: os-release was not replaced; 1: notifications refused";
}

TEST(Locale, ConvertsCodesAndReadsTheEnvironment)
{
	const std::pair<const char*, const char*> codes[] = {
		{"en", "en_EN"}, {"FI", "fi_FI"}, {"zh-Hans", "zh_CN"}, {"zh_Hant", "zh_TW"}, {"pt-BR", "pt_BR"}, {"de_DE", "de_DE"}};
	for (const auto& c : codes)
		EXPECT_EQ(Locale::convert(c.first), c.second) << c.first;

	struct Case
	{
		const char* language;
		const char* lcAll;
		const char* lcMessages;
		const char* lang;
		std::vector<std::string> expected;
	};
	const Case cases[] = {
		{"fi:en", "de_DE.UTF-8", nullptr, nullptr, {"fi_FI", "en_EN"}},
		{"", "de_DE.UTF-8", "fr_FR", nullptr, {"de_DE"}},
		{nullptr, nullptr, "pt_BR.ISO-8859-1", "fr_FR", {"pt_BR"}},
		{"C:POSIX", nullptr, nullptr, "sv_SE.UTF-8@euro", {"sv_SE@euro"}},
		{nullptr, "C.UTF-8", nullptr, "fr_FR", {"en_EN"}},
		{nullptr, nullptr, nullptr, nullptr, {"en_EN"}},
	};
	for (const Case& c : cases)
	{
		auto set = [](const char* name, const char* value) {
			if (value)
				setenv(name, value, 1);
			else
				unsetenv(name);
		};
		set("LANGUAGE", c.language);
		set("LC_ALL", c.lcAll);
		set("LC_MESSAGES", c.lcMessages);
		set("LANG", c.lang);
		EXPECT_EQ(Locale().getPreferedLanguages(), c.expected) << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-");
	}
}

TEST(Launcher, AcceptsOnlyUrlsWithASchemeAndNoBlanks)
{
	const std::pair<const char*, const char*> cases[] = {
		{"https://example.org/a?b=c", "https"}, {"Mailto:a@b.c", "mailto"}, {"itms-apps+x.y:z", "itms-apps+x.y"},
		{"no scheme here", ""}, {"1http://x", ""}, {":x", ""}, {"http://a b", ""}, {"http://a\tb", ""},
		{"http://a\nb", ""}, {"plain", ""}, {"", ""}, {"ht_tp://x", ""}};
	for (const auto& c : cases)
		EXPECT_EQ(Launcher::schemeOf(c.first), c.second) << c.first;
}

TEST_F(PfTest, LauncherStartsTheOpenerWithoutAShell)
{
	const std::string script = m_home / "opener.sh";
	writeFile(script, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/opened.txt\"\n");
	chmod(script.c_str(), 0700);
	setenv("ENGINE_URL_OPENER", script.c_str(), 1);
	Launcher launcher;
	EXPECT_FALSE(launcher.openURL("not a url"));
	EXPECT_TRUE(launcher.openURL("https://example.org/?q=$(touch${IFS}x);a&b|c"));
	EXPECT_EQ(waitForFile(m_home / "opened.txt"), "1|https://example.org/?q=$(touch${IFS}x);a&b|c");
	EXPECT_FALSE(fileExists(m_home / "x"));

	setenv("ENGINE_URL_OPENER", (m_home / "missing-opener").c_str(), 1);
	testing::internal::CaptureStdout();
	EXPECT_FALSE(launcher.openURL("https://example.org/"));
	testing::internal::GetCapturedStdout();
	unsetenv("ENGINE_URL_OPENER");
}

TEST_F(PfTest, LauncherAnswersWithTheOpenersExitStatusWithinTwoSeconds)
{
	// Exit statuses as xdg-open gives them (4: no program for the URL), a killed opener, and one that
	// keeps running: that one counts as opening once two seconds passed, and the caller waits no longer.
	const struct
	{
		const char* body;
		bool opened;
	} cases[] = {{"exit 0", true}, {"exit 4", false}, {"exit 1", false}, {"kill -9 $$", false}, {"exec sleep 4 </dev/null >/dev/null 2>&1", true}};
	Launcher launcher;
	int index = 0;
	for (const auto& c : cases)
	{
		const std::string script = m_home / ("opener" + std::to_string(index++) + ".sh");
		writeFile(script, std::string("#!/bin/sh\n") + c.body + "\n");
		chmod(script.c_str(), 0700);
		setenv("ENGINE_URL_OPENER", script.c_str(), 1);
		// Only failures are logged; capturing would hand the lasting opener a copy of the test's output.
		if (!c.opened)
			testing::internal::CaptureStdout();
		const auto start = std::chrono::steady_clock::now();
		EXPECT_EQ(c.opened, launcher.openURL("https://example.org/")) << c.body;
		EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.body;
		if (!c.opened)
		{
			const std::string log = testing::internal::GetCapturedStdout();
			EXPECT_NE(log.find(script), std::string::npos) << c.body << ": " << log;
		}
	}
	unsetenv("ENGINE_URL_OPENER");
}

TEST_F(PfTest, TheOpenerGetsNoneOfTheGamesFiles)
{
	// A browser the opener starts may run for hours: it must not keep the game's files, locks or pipes
	// open, even those a library opened without close-on-exec.
	const std::string held = m_home / "held.txt";
	writeFile(held, "x");
	const int fd = open(held.c_str(), O_RDONLY);
	ASSERT_GE(fd, 3);
	const std::string script = m_home / "fds.sh";
	// Lists the shell's descriptors with what they point at (ls runs as a child, so the list holds no pipe
	// of its own).
	const std::string list = m_home / "fds";
	writeFile(script, "#!/bin/sh\nls -l /proc/$$/fd > '" + list + ".tmp'\nmv '" + list + ".tmp' '" + list + ".txt'\n");
	chmod(script.c_str(), 0700);
	setenv("ENGINE_URL_OPENER", script.c_str(), 1);
	EXPECT_TRUE(Launcher().openURL("https://example.org/"));
	unsetenv("ENGINE_URL_OPENER");
	close(fd);
	// The standard ones, the shell's copies of them and its script aside, nothing.
	std::istringstream listing(waitForFile(list + ".txt"));
	std::map<int, std::string> targets;
	for (std::string line; std::getline(listing, line);)
	{
		const size_t arrow = line.find(" -> ");
		if (arrow != std::string::npos)
		{
			const size_t name = line.rfind(' ', arrow - 1) + 1;
			targets[std::stoi(line.substr(name, arrow - name))] = line.substr(arrow + 4);
		}
	}
	std::vector<std::string> inherited;
	for (const auto& [number, target] : targets)
	{
		if (number > 2 && target != script && target != targets[0] && target != targets[1] && target != targets[2])
			inherited.push_back(std::to_string(number) + " -> " + target);
	}
	EXPECT_TRUE(inherited.empty()) << testing::PrintToString(inherited);
}

TEST_F(PfTest, EmailerOpensAMailtoUrlAndReports)
{
	struct Listener : EmailerListener
	{
		std::vector<int> results;
		void emailFinished(int result) override { results.push_back(result); }
	} listener;

	EXPECT_EQ(EmailerSender::mailtoURL("a@b.org", "Hi there", "x&y=1"), "mailto:a@b.org?subject=Hi%20there&body=x%26y%3D1");
	const std::string script = m_home / "opener.sh";
	writeFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/mail.txt\"\n");
	chmod(script.c_str(), 0700);
	setenv("ENGINE_URL_OPENER", script.c_str(), 1);
	Launcher launcher;
	launcher.emailer().setDelegate(&listener);
	launcher.emailer().sendEmail("a@b.org", "S", "B");
	EXPECT_EQ(waitForFile(m_home / "mail.txt"), "mailto:a@b.org?subject=S&body=B");

	setenv("ENGINE_URL_OPENER", (m_home / "missing-opener").c_str(), 1);
	testing::internal::CaptureStdout();
	launcher.emailer().sendEmail("a@b.org", "S", "B");
	testing::internal::GetCapturedStdout();
	EXPECT_EQ(listener.results, (std::vector<int>{2, 0}));
	unsetenv("ENGINE_URL_OPENER");
}

TEST_F(PfTest, CanOpenProgramFindsSchemeHandlersInMimeappsAndDesktopFiles)
{
	Launcher launcher;
	EXPECT_FALSE(launcher.canOpenProgram("zephyra://open"));
	EXPECT_FALSE(launcher.canOpenProgram("not a url"));

	makeFolder("config");
	writeFile(m_home / "config/mimeapps.list",
		"[Removed Associations]\nx-scheme-handler/gone=a.desktop\n"
		"[Default Applications]\nx-scheme-handler/zephyra=zephyra.desktop\nx-scheme-handler/empty=\n");
	EXPECT_TRUE(launcher.canOpenProgram("zephyra://open"));
	EXPECT_TRUE(launcher.canOpenProgram("ZEPHYRA:x"));
	EXPECT_FALSE(launcher.canOpenProgram("gone://x"));
	EXPECT_FALSE(launcher.canOpenProgram("empty://x"));

	makeFolder("share/applications");
	writeFile(m_home / "share/applications/viewer.desktop",
		"[Desktop Entry]\nName=Viewer\nMimeType=text/plain;x-scheme-handler/viewer;\n");
	EXPECT_TRUE(launcher.canOpenProgram("viewer:thing"));
	EXPECT_FALSE(launcher.canOpenProgram("view:thing"));
}
