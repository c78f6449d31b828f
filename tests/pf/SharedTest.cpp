#include "PfTestSupport.h"
#include <pf/Alert.h>
#include <pf/Folders.h>
#include <pf/MainThreadQueue.h>
#include <pf/StateFile.h>
#include <pf/UserDefaults.h>
#include <cjson/cJSON.h>
#include <lang/Exception.h>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace pf;

TEST_F(PfTest, FoldersFollowXdgAndFallBackToHome)
{
	EXPECT_EQ(Folders::state(), m_home / "state/engine");
	EXPECT_TRUE(fileExists(m_home / "state/engine"));
	// A relative value is ignored, as the base directory rules say.
	setenv("XDG_CONFIG_HOME", "relative/dir", 1);
	unsetenv("XDG_STATE_HOME");
	EXPECT_EQ(Folders::config(), m_home / ".config/engine");
	EXPECT_EQ(Folders::statePath(), m_home / ".local/state/engine");
	EXPECT_FALSE(fileExists(m_home / ".local/state/engine"));
}

TEST_F(PfTest, StateFileSavesLoadsAndSetsBadFilesAside)
{
	Folders::state();
	StateFile file(statePath("s.json"));
	EXPECT_EQ(file.load(), nullptr);
	ASSERT_TRUE(file.save("{\"a\": 1}"));
	EXPECT_FALSE(fileExists(statePath("s.json.tmp")));
	cJSON* root = file.load(cJSON_Object);
	ASSERT_NE(root, nullptr);
	EXPECT_EQ(cJSON_GetObjectItem(root, "a")->valueint, 1);
	cJSON_Delete(root);

	struct Case
	{
		const char* text;
		int type;
	};
	// Each set aside under its own name: an earlier one is never replaced.
	const char* aside[] = {"s.json.bad", "s.json.bad.2", "s.json.bad.3"};
	int n = 0;
	for (const Case& c : {Case{"{\"a\": ", 0}, Case{"", 0}, Case{"[1, 2]", cJSON_Object}})
	{
		SCOPED_TRACE(c.text);
		writeFile(statePath("s.json"), c.text);
		EXPECT_EQ(file.load(c.type), nullptr);
		EXPECT_FALSE(fileExists(statePath("s.json")));
		EXPECT_EQ(readFile(statePath(aside[n++])), c.text);
	}
	EXPECT_EQ(readFile(statePath("s.json.bad")), "{\"a\": ");
}

TEST_F(PfTest, StateFileKeepsTheOldVersionWhenSavingFails)
{
	Folders::state();
	StateFile file(statePath("s.json"));
	ASSERT_TRUE(file.save("old"));
	// The temporary file cannot be made where a folder of its name stands.
	makeFolder("state/engine/s.json.tmp");
	EXPECT_FALSE(file.save("new"));
	EXPECT_EQ(readFile(statePath("s.json")), "old");
}

TEST_F(PfTest, UserDefaultsStoreTypedValuesAndSeeOutsideChanges)
{
	EXPECT_FALSE(UserDefaults::has("sound"));
	EXPECT_FALSE(UserDefaults::getBoolean("sound"));
	EXPECT_TRUE(UserDefaults::setBoolean("sound", true));
	EXPECT_TRUE(UserDefaults::setNumber("volume", 0.25));
	EXPECT_TRUE(UserDefaults::setString("name", "Ann"));
	EXPECT_TRUE(UserDefaults::getBoolean("sound"));
	EXPECT_TRUE(UserDefaults::isBoolean("sound"));
	EXPECT_FALSE(UserDefaults::isBoolean("volume"));
	EXPECT_DOUBLE_EQ(UserDefaults::getNumber("volume"), 0.25);
	EXPECT_EQ(UserDefaults::getString("name"), "Ann");
	// Other types read as their defaults.
	EXPECT_EQ(UserDefaults::getString("volume"), "");
	EXPECT_FALSE(UserDefaults::getBoolean("name"));

	// JSON has no NaN: it would be written as null and lost.
	EXPECT_FALSE(UserDefaults::setNumber("volume", std::nan("")));
	EXPECT_FALSE(UserDefaults::setNumber("volume", INFINITY));
	EXPECT_DOUBLE_EQ(UserDefaults::getNumber("volume"), 0.25);

	// Another program rewrites the file; synchronising picks it up.
	writeFile(configPath("defaults.json"), "{\"sound\": false, \"extra\": \"x\"}");
	UserDefaults::synchronise();
	EXPECT_FALSE(UserDefaults::getBoolean("sound"));
	EXPECT_EQ(UserDefaults::getString("extra"), "x");
	EXPECT_FALSE(UserDefaults::has("name"));
	EXPECT_TRUE(UserDefaults::remove("extra"));
	EXPECT_FALSE(UserDefaults::remove("extra"));
	EXPECT_EQ(readFile(configPath("defaults.json")).find("extra"), std::string::npos);

	// A broken file is set aside and the defaults start empty.
	writeFile(configPath("defaults.json"), "{broken");
	EXPECT_FALSE(UserDefaults::has("sound"));
	EXPECT_EQ(readFile(configPath("defaults.json.bad")), "{broken");
}

TEST_F(PfTest, UserDefaultsAreSafeAcrossThreads)
{
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; ++t)
	{
		threads.emplace_back([t]() {
			for (int i = 0; i < 20; ++i)
			{
				UserDefaults::setNumber("t" + std::to_string(t), i);
				UserDefaults::getNumber("t0");
			}
		});
	}
	for (std::thread& t : threads)
		t.join();
	for (int t = 0; t < 4; ++t)
		EXPECT_EQ(UserDefaults::getNumber("t" + std::to_string(t)), 19);
}

TEST(Alert, PrintsALineWithoutPresenterAndAsksTheInstalledOne)
{
	testing::internal::CaptureStdout();
	EXPECT_EQ(Alert::show("Payment Error", "No items available.", {"OK"}), -1);
	EXPECT_NE(testing::internal::GetCapturedStdout().find("Alert: Payment Error: No items available.\n"), std::string::npos);

	std::vector<std::string> seen;
	Alert::setPresenter([&](const std::string& title, const std::string& message, const std::vector<std::string>& buttons) {
		seen = {title, message};
		return static_cast<int>(buttons.size()) - 1;
	});
	EXPECT_EQ(Alert::show("T", "M", {"Yes", "No"}), 1);
	EXPECT_EQ(seen, (std::vector<std::string>{"T", "M"}));
	Alert::setPresenter(nullptr);
	testing::internal::CaptureStdout();
	EXPECT_EQ(Alert::show("T", "M", {}), -1);
	testing::internal::GetCapturedStdout();
}

TEST(MainThreadQueue, RunsTasksFromAnyThreadInOrderAndLogsFailures)
{
	std::vector<int> ran;
	MainThreadQueue::post([&]() { ran.push_back(1); });
	std::thread([&]() { MainThreadQueue::post([&]() { ran.push_back(2); }); }).join();
	MainThreadQueue::post([]() { throw lang::Exception(lang::Format("task broke")); });
	MainThreadQueue::post([]() { throw std::runtime_error("std broke"); });
	// A task posted while running waits for the next turn.
	MainThreadQueue::post([&]() { MainThreadQueue::post([&]() { ran.push_back(4); }); ran.push_back(3); });
	EXPECT_EQ(MainThreadQueue::pending(), 5);

	testing::internal::CaptureStdout();
	EXPECT_EQ(MainThreadQueue::runPending(), 5);
	const std::string out = testing::internal::GetCapturedStdout();
	EXPECT_NE(out.find("Main-thread task failed: task broke"), std::string::npos);
	EXPECT_NE(out.find("Main-thread task failed: std broke"), std::string::npos);
	EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
	EXPECT_EQ(MainThreadQueue::runPending(), 1);
	EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
	EXPECT_EQ(MainThreadQueue::runPending(), 0);
}
