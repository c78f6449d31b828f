#include "PfTestSupport.h"
#include <pf/LocalNotifications.h>
#include <pf/UserDefaults.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

using namespace pf;

namespace
{
struct Recorder : LocalNotificationsListener
{
	std::vector<std::string> events;
	bool listening = true;
	void notificationReceived(const std::string& eventName) override { events.push_back(eventName); }
	bool isListening() const override { return listening; }
};

double now()
{
	return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The due names, delivered the way the host does.
std::vector<std::string> takeDue(double at)
{
	std::vector<std::string> heard;
	LocalNotifications::deliverDue(at, [&heard](const std::string& name) { heard.push_back(name); });
	return heard;
}

std::vector<std::string> names(const std::vector<LocalNotifications::Pending>& list)
{
	std::vector<std::string> out;
	for (const LocalNotifications::Pending& p : list)
		out.push_back(p.eventName);
	return out;
}
}

TEST_F(PfTest, NotificationsAreKeptInFireOrderOnePerName)
{
	LocalNotifications n;
	EXPECT_TRUE(n.addNotificationAfter("b", 20, "second"));
	EXPECT_TRUE(n.addNotificationAfter("a", 10, "first"));
	EXPECT_TRUE(n.addNotificationAfter("b", 30, "later"));
	const auto list = LocalNotifications::pending();
	ASSERT_EQ(names(list), (std::vector<std::string>{"a", "b"}));
	EXPECT_EQ(list[1].text, "later");
	EXPECT_NEAR(list[1].fireTime, now() + 30, 2);
	// "notificationsSound" is absent: silent.
	EXPECT_FALSE(list[0].sound);
	EXPECT_NE(readFile(statePath("notifications.json")).find("\"later\""), std::string::npos);

	EXPECT_FALSE(n.removeNotification("c"));
	EXPECT_TRUE(n.removeNotification("a"));
	EXPECT_EQ(names(LocalNotifications::pending()), std::vector<std::string>{"b"});
	n.removeAllNotifications();
	EXPECT_TRUE(LocalNotifications::pending().empty());
}

TEST_F(PfTest, NotificationsFollowTheUserDefaultsAndRefuseNonFiniteTimes)
{
	LocalNotifications n;
	UserDefaults::setBoolean("notifications", false);
	EXPECT_FALSE(n.addNotificationAfter("off", 1, ""));
	UserDefaults::setBoolean("notifications", true);
	UserDefaults::setBoolean("notificationsSound", true);
	EXPECT_TRUE(n.addNotificationAfter("on", 1, ""));
	EXPECT_TRUE(LocalNotifications::pending().at(0).sound);
	for (float seconds : {std::nanf(""), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
		EXPECT_FALSE(n.addNotificationAfter("bad", seconds, ""));
	EXPECT_EQ(names(LocalNotifications::pending()), std::vector<std::string>{"on"});
	EXPECT_EQ(readFile(statePath("notifications.json")).find("null"), std::string::npos);
}

TEST_F(PfTest, DueNotificationsAreTakenOutOldestFirstAndSurviveRestarts)
{
	// Written by an earlier run: one overdue, one due later, one malformed entry (copied aside with the file, below).
	makeFolder("state/engine");
	const double t = now();
	writeFile(statePath("notifications.json"),
		"{\"notifications\": [{\"eventName\": \"late\", \"fireTime\": " + std::to_string(t + 100) +
		", \"text\": \"\"}, {\"eventName\": \"missed\", \"fireTime\": " + std::to_string(t - 50) +
		"}, {\"fireTime\": 1}, {\"eventName\": \"older\", \"fireTime\": " + std::to_string(t - 60) + "}]}");
	testing::internal::CaptureStdout();
	EXPECT_EQ(takeDue(t), (std::vector<std::string>{"older", "missed"}));
	EXPECT_NE(testing::internal::GetCapturedStdout().find("notification 3 is not delivered: it has no event name"), std::string::npos);
	EXPECT_TRUE(takeDue(t).empty());
	EXPECT_EQ(names(LocalNotifications::pending()), std::vector<std::string>{"late"});
	EXPECT_TRUE(fileExists(statePath("notifications.json.bad")));

	// Polls with nothing due touch no file: a file that changes under them is not even read.
	writeFile(statePath("notifications.json"), "{broken");
	EXPECT_TRUE(takeDue(t + 10).empty());
	EXPECT_FALSE(fileExists(statePath("notifications.json.bad.2")));
	// Something due: the file is read again; the broken one is set aside and nothing is delivered.
	testing::internal::CaptureStdout();
	EXPECT_TRUE(takeDue(t + 200).empty());
	EXPECT_NE(testing::internal::GetCapturedStdout().find("notifications.json.bad.2"), std::string::npos);
	EXPECT_EQ(readFile(statePath("notifications.json.bad.2")), "{broken");
}

TEST_F(PfTest, ListenersHearEachEventOnceAndLeaveWhenDestroyed)
{
	LocalNotifications n;
	Recorder first;
	auto second = std::make_unique<Recorder>();
	n.addListener(&first);
	n.addListener(&first);
	n.addListener(second.get());
	LocalNotifications::notifyListeners("e1");
	EXPECT_EQ(first.events, std::vector<std::string>{"e1"});
	EXPECT_EQ(second->events, std::vector<std::string>{"e1"});
	second.reset();
	// The destroyed listener is not called (it would be a dead object).
	LocalNotifications::notifyListeners("e2");
	EXPECT_EQ(first.events, (std::vector<std::string>{"e1", "e2"}));
	LocalNotifications::removeListener(&first);
	LocalNotifications::notifyListeners("e3");
	EXPECT_EQ(first.events.size(), 2u);
}

TEST_F(PfTest, ADueNotificationLeavesTheFileOnlyOnceTheGameHeardIt)
{
	LocalNotifications n;
	ASSERT_TRUE(n.addNotificationAfter("daily", -20, "again"));
	ASSERT_TRUE(n.addNotificationAfter("cancelled", -10, ""));
	ASSERT_TRUE(n.addNotificationAfter("gift", -5, ""));
	ASSERT_TRUE(n.addNotificationAfter("later", 3600, ""));

	// A run that ends while the game hears "daily" hears it again at its next start.
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		LocalNotifications::deliverDue([](const std::string&) { _exit(0); });
		_exit(1);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
	EXPECT_EQ(names(LocalNotifications::pending()), (std::vector<std::string>{"daily", "cancelled", "gift", "later"}));

	// While heard, it is still stored; the game may schedule the same name again or cancel one not yet heard.
	std::vector<std::string> heard;
	const size_t count = LocalNotifications::deliverDue([&](const std::string& name) {
		const auto stored = names(LocalNotifications::pending());
		heard.push_back(name + (std::find(stored.begin(), stored.end(), name) != stored.end() ? ":stored" : ":gone"));
		if (name == "daily")
		{
			n.addNotificationAfter("daily", 60, "tomorrow");
			n.removeNotification("cancelled");
		}
	});
	EXPECT_EQ(count, 2u);
	EXPECT_EQ(heard, (std::vector<std::string>{"daily:stored", "gift:stored"}));
	const auto left = LocalNotifications::pending();
	ASSERT_EQ(names(left), (std::vector<std::string>{"daily", "later"}));
	EXPECT_EQ(left[0].text, "tomorrow");

	// A delivery that throws counts as heard: it does not come back every turn.
	ASSERT_TRUE(n.addNotificationAfter("broken", -1, ""));
	EXPECT_THROW(LocalNotifications::deliverDue([](const std::string&) { throw std::runtime_error("script error"); }), std::runtime_error);
	EXPECT_TRUE(takeDue(now()).empty());
	EXPECT_EQ(names(LocalNotifications::pending()), (std::vector<std::string>{"daily", "later"}));
}

// Due ones wait in the file while nobody would hear them (a game whose script has not named its callback yet).
TEST_F(PfTest, DueNotificationsWaitForAListener)
{
	LocalNotifications n;
	ASSERT_TRUE(n.addNotificationAfter("missed", -5, ""));
	Recorder game;
	game.listening = false;
	n.addListener(&game);
	EXPECT_FALSE(LocalNotifications::hasListener());
	EXPECT_EQ(LocalNotifications::deliverDue(&LocalNotifications::notifyListeners, &LocalNotifications::hasListener), 0u);
	EXPECT_EQ(names(LocalNotifications::pending()), std::vector<std::string>{"missed"});
	game.listening = true;
	EXPECT_TRUE(LocalNotifications::hasListener());
	EXPECT_EQ(LocalNotifications::deliverDue(&LocalNotifications::notifyListeners, &LocalNotifications::hasListener), 1u);
	EXPECT_EQ(game.events, std::vector<std::string>{"missed"});
	EXPECT_TRUE(LocalNotifications::pending().empty());
	LocalNotifications::removeListener(&game);
}

// An entry that cannot be used is named and never delivered; the file as it was is kept as a copy
// (a fire time too large for a double would otherwise be written back as null).
TEST_F(PfTest, DamagedNotificationsAreNamedKeptAsideAndNotDelivered)
{
	struct Case
	{
		const char* entry;
		const char* says;
	};
	const Case cases[] = {
		{"{\"eventName\": \"far\", \"fireTime\": 1e400}", "notification 2 (far) is not delivered: its fire time is missing or out of range"},
		{"{\"eventName\": \"before\", \"fireTime\": -1e400}", "(before) is not delivered: its fire time"},
		{"{\"eventName\": \"soon\", \"fireTime\": \"soon\"}", "(soon) is not delivered: its fire time"},
		{"{\"eventName\": \"loud\", \"fireTime\": 5, \"sound\": \"yes\"}", "(loud) is not delivered: its \"sound\""},
		{"{\"eventName\": 7, \"fireTime\": 5}", "notification 2 is not delivered: it has no event name"},
		{"[]", "notification 2 is not delivered: it is not an object"},
	};
	makeFolder("state/engine");
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.entry);
		const std::string original = std::string("{\"notifications\": [{\"eventName\": \"good\", \"fireTime\": 10}, ") + c.entry + "]}";
		writeFile(statePath("notifications.json"), original);
		testing::internal::CaptureStdout();
		EXPECT_EQ(names(LocalNotifications::pending()), std::vector<std::string>{"good"});
		const std::string log = testing::internal::GetCapturedStdout();
		EXPECT_EQ(takeDue(now()), std::vector<std::string>{"good"});
		EXPECT_NE(log.find(c.says), std::string::npos) << log;
		EXPECT_NE(log.find("kept as " + statePath("notifications.json.bad")), std::string::npos) << log;
		EXPECT_EQ(readFile(statePath("notifications.json.bad")), original);
		EXPECT_TRUE(LocalNotifications::pending().empty());
		const std::string rewritten = readFile(statePath("notifications.json"));
		EXPECT_EQ(rewritten.find("null"), std::string::npos) << rewritten;
		EXPECT_EQ(rewritten.find("good"), std::string::npos) << rewritten;
		std::remove(statePath("notifications.json.bad").c_str());
	}
}
