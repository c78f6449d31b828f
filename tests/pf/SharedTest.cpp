#include "PfTestSupport.h"
#include <support/SyncRecorder.h>
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
	{
		support::FailingFileSyncs failing;
		EXPECT_FALSE(file.save("new"));
	}
	EXPECT_EQ(readFile(statePath("s.json")), "old");
	EXPECT_FALSE(fileExists(support::synced().back()));
}

// The ledger, notifications and defaults are state files: each save is synced under a name of
// its own, renamed, and then its folder synced, so a power cut after the save keeps it.
TEST_F(PfTest, StateFileSyncsTheNewVersionThenItsFolder)
{
	char* real = realpath(Folders::state().c_str(), nullptr);
	ASSERT_TRUE(real);
	const std::string folder = real;
	std::free(real);
	std::vector<std::string>& synced = support::synced();
	synced.clear();
	ASSERT_TRUE(StateFile(folder + "/s.json").save("{}"));
	ASSERT_EQ(2u, synced.size());
	EXPECT_EQ(0u, synced[0].find(folder + "/s.json.tmp")) << synced[0];
	EXPECT_NE(folder + "/s.json.tmp", synced[0]) << "a name another writer may hold";
	EXPECT_EQ(folder, synced[1]);
}

// Two writers of one state file at once (two threads, or two copies): neither fails and a reader
// only ever sees one whole version.
TEST_F(PfTest, TwoWritersOfOneStateFileNeverTearIt)
{
	Folders::state();
	const StateFile file(statePath("shared.json"));
	const std::string versions[2] = {"[" + std::string(64 * 1024, ' ') + "1]", "[" + std::string(96 * 1024, ' ') + "2]"};
	ASSERT_TRUE(file.save(versions[0]));
	std::atomic<int> failures(0), torn(0), writing(2);
	std::vector<std::thread> writers;
	for (int w = 0; w < 2; ++w)
		writers.emplace_back([&, w] {
			for (int i = 0; i < 200; ++i)
				failures += file.save(versions[w]) ? 0 : 1;
			--writing;
		});
	while (writing > 0)
	{
		const std::string seen = readFile(file.path());
		torn += seen == versions[0] || seen == versions[1] ? 0 : 1;
	}
	for (std::thread& t : writers)
		t.join();
	EXPECT_EQ(0, failures.load());
	EXPECT_EQ(0, torn.load());
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
