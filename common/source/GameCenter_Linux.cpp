#include "GameCenter.h"
#include "GameApp.h"
#include "GameLua.h"
#include <framework/OSInterface.h>
#include <io/Files.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <pf/Alert.h>
#include <pf/StateFile.h>
#include <cjson/cJSON.h>
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pwd.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const CATALOGUE = "gamecenter-catalogue.json";
const char* const STATE = "gamecenter.json";

// Error codes as the platform service numbers them.
enum { ERROR_CANCELLED = 2, ERROR_INVALID_PARAMETER = 5, ERROR_NOT_AUTHENTICATED = 6, ERROR_USER_DENIED = 7, ERROR_NOT_SUPPORTED = 16 };

GameCenter::AlertFunction s_alert;

std::string catalogueFile()
{
	return io::detail::bundlePath() + "/" + CATALOGUE;
}

bool readText(const std::string& path, std::string& text)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return false;
	std::ostringstream s;
	s << in.rdbuf();
	text = s.str();
	return true;
}

std::string errorText(int code)
{
	switch (code)
	{
	case ERROR_CANCELLED: return "The requested operation has been cancelled.";
	case ERROR_NOT_AUTHENTICATED: return "The player is not signed in.";
	case ERROR_USER_DENIED: return "The player has denied the request.";
	case ERROR_NOT_SUPPORTED: return "The leaderboard service is not supported by this game.";
	default:
	{
		char text[96];
		std::snprintf(text, sizeof text, "The leaderboard service could not complete the request (%d).", code);
		return text;
	}
	}
}

std::string loginName()
{
	if (const passwd* pw = getpwuid(getuid()))
		if (pw->pw_name && *pw->pw_name)
			return pw->pw_name;
	const char* user = std::getenv("USER");
	return user && *user ? user : "player";
}

std::string newPlayerID()
{
	std::random_device random;
	std::uniform_int_distribution<unsigned long long> digits(1000000000ULL, 9999999999ULL);
	return "G:" + std::to_string(digits(random));
}

/** A score as a 64-bit integer, the fraction dropped, saturating at the ends; NaN gives 0. */
int64_t toScore(double value)
{
	if (!(value == value))
		return 0;
	if (value >= 9223372036854775807.0)
		return INT64_MAX;
	if (value <= -9223372036854775808.0)
		return INT64_MIN;
	return static_cast<int64_t>(value);
}

/** A score cut to the 32 bits the scripts see, saturating rather than wrapping. */
int toScript(int64_t value)
{
	return static_cast<int>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

const char* stringOf(const cJSON* object, const char* key)
{
	const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
	return cJSON_IsString(item) ? item->valuestring : nullptr;
}
}

GameCenter::GameCenter(GameApp* app, GameLua* lua, gr::Context* context) :
	m_app(app),
	m_lua(lua),
	m_context(context),
	m_authError(0),
	m_authenticated(false),
	m_observing(false),
	m_showingLeaderboard(false),
	m_showingAchievements(false),
	m_nextOrder(0)
{
	if (isGameCenterAvailable())
	{
		m_observing = true;
		loadCatalogue();
		loadState();
	}
}

GameCenter::~GameCenter() {}

bool GameCenter::isGameCenterAvailable()
{
	struct stat st;
	return ::stat(catalogueFile().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace
{
std::string stateBase()
{
	try
	{
		return io::detail::xdgBaseFolder("XDG_STATE_HOME", ".local/state");
	}
	catch (const io::IOException&)
	{
		return "/tmp/.local/state";
	}
}
}

std::string GameCenter::stateFilePath()
{
	return stateBase() + "/" + io::detail::gameName() + "/" + STATE;
}

std::string GameCenter::legacyStateFilePath()
{
	return stateBase() + "/" + io::detail::appdataName() + "/" + STATE;
}

void GameCenter::setAlertFunction(AlertFunction alert)
{
	s_alert = std::move(alert);
}

void GameCenter::post(std::function<void()> completion)
{
	m_queue.push_back(std::move(completion));
}

void GameCenter::runCompletions()
{
	while (!m_queue.empty())
	{
		std::function<void()> completion = std::move(m_queue.front());
		m_queue.pop_front();
		completion();
	}
}

void GameCenter::alert(const std::string& title, const std::string& message, std::function<void()> done)
{
	if (s_alert)
	{
		s_alert(title, message, std::move(done));
		return;
	}
	// The host's dialog where there is one (it prints the alert otherwise); it returns once answered.
	pf::Alert::show(title, message, {"OK"});
	post(std::move(done));
}

void GameCenter::loadCatalogue()
{
	std::string text;
	if (!readText(catalogueFile(), text))
		return;
	cJSON* root = cJSON_Parse(text.c_str());
	if (!cJSON_IsObject(root))
	{
		lang::Debug::printf("GameCenter: %s is not a JSON object; no leaderboards.\n", catalogueFile().c_str());
		cJSON_Delete(root);
		return;
	}
	const cJSON* item;
	cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "leaderboards"))
	{
		const char* id = stringOf(item, "id");
		const char* title = stringOf(item, "title");
		if (id)
			m_leaderboards.push_back({id, title ? title : id});
	}
	cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "achievements"))
	{
		const char* id = stringOf(item, "id");
		const char* title = stringOf(item, "title");
		const char* achieved = stringOf(item, "achievedDescription");
		if (id)
			m_achievements.push_back({id, title ? title : id, achieved ? achieved : "",
				cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(item, "hidden")) != 0});
	}
	// Preset scores of other players, ranked before any later post of the same value.
	int64_t order = 0;
	cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "scores"))
	{
		const char* board = stringOf(item, "leaderboard");
		const char* player = stringOf(item, "playerID");
		const char* alias = stringOf(item, "alias");
		const cJSON* value = cJSON_GetObjectItemCaseSensitive(item, "value");
		if (board && player && cJSON_IsNumber(value) && std::isfinite(value->valuedouble))
			m_presetScores[board].push_back({player, alias ? alias : player, toScore(value->valuedouble), order++});
	}
	const cJSON* authError = cJSON_GetObjectItemCaseSensitive(root, "authError");
	if (cJSON_IsNumber(authError))
		m_authError = authError->valueint;
	m_nextOrder = order;
	cJSON_Delete(root);
}

void GameCenter::loadState()
{
	std::string path = stateFilePath();
	std::string text;
	bool read = readText(path, text);
	bool earlier = false;
	if (!read && legacyStateFilePath() != path && readText(legacyStateFilePath(), text))
	{
		path = legacyStateFilePath();
		read = earlier = true;
	}
	if (read)
	{
		cJSON* root = cJSON_Parse(text.c_str());
		const char* player = cJSON_IsObject(root) ? stringOf(root, "playerID") : nullptr;
		if (player)
		{
			m_playerID = player;
			const cJSON* item;
			cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "scores"))
			{
				const cJSON* value = cJSON_GetObjectItemCaseSensitive(item, "value");
				const cJSON* order = cJSON_GetObjectItemCaseSensitive(item, "order");
				const char* text = stringOf(item, "value");
				if (item->string && (cJSON_IsNumber(value) || text))
				{
					// Kept as text: a double holds no more than 53 bits.
					const int64_t v = text ? std::strtoll(text, nullptr, 10) : toScore(value->valuedouble);
					const int64_t o = cJSON_IsNumber(order) ? toScore(order->valuedouble) : 0;
					m_bestScores[item->string] = {m_playerID, "", v, o};
					m_nextOrder = std::max(m_nextOrder, o + 1);
				}
			}
			cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(root, "achievements"))
			{
				if (item->string && cJSON_IsNumber(item))
					m_progress[item->string] = item->valuedouble;
			}
		}
		else
		{
			// Unreadable: keep it aside rather than overwrite what the player earned.
			const std::string aside = path + ".bad";
			std::rename(path.c_str(), aside.c_str());
			lang::Debug::printf("GameCenter: %s is not a readable state file; kept as %s.\n", path.c_str(), aside.c_str());
		}
		cJSON_Delete(root);
	}
	if (m_playerID.empty())
	{
		m_playerID = newPlayerID();
		saveState();
	}
	else if (earlier)
	{
		// A copy in the game's own place; the earlier file stays for whoever else read it.
		lang::Debug::printf("GameCenter: state read from %s, kept from now on in %s.\n", path.c_str(), stateFilePath().c_str());
		saveState();
	}
	m_alias = loginName();
	for (auto& best : m_bestScores)
		best.second.alias = m_alias;
}

void GameCenter::saveState()
{
	cJSON* root = cJSON_CreateObject();
	cJSON_AddStringToObject(root, "playerID", m_playerID.c_str());
	cJSON* scores = cJSON_AddObjectToObject(root, "scores");
	for (const auto& best : m_bestScores)
	{
		cJSON* entry = cJSON_AddObjectToObject(scores, best.first.c_str());
		cJSON_AddStringToObject(entry, "value", std::to_string(best.second.value).c_str());
		cJSON_AddNumberToObject(entry, "order", static_cast<double>(best.second.order));
	}
	cJSON* achievements = cJSON_AddObjectToObject(root, "achievements");
	for (const auto& progress : m_progress)
		cJSON_AddNumberToObject(achievements, progress.first.c_str(), progress.second);
	const std::string path = stateFilePath();
	try
	{
		io::makeFolders(path.substr(0, path.rfind('/')));
		// The state file logs a failed save itself and keeps the previous version.
		pf::StateFile(path).save(root);
	}
	catch (const io::IOException& e)
	{
		lang::Debug::printf("Failed to save %s: %s\n", path.c_str(), e.getMessage().format().c_str());
	}
	cJSON_Delete(root);
}

void GameCenter::firstInit()
{
	authenticate(false);
}

void GameCenter::init()
{
	authenticate(true);
}

void GameCenter::authenticate(bool showDialog)
{
	if (!m_observing && !isGameCenterAvailable())
		return;
	post([this, showDialog] {
		if (m_authError != 0)
		{
			showAlert(m_authError, showDialog);
			lang::Debug::printf("authenticateWithCompletionHandler failed!\n");
			return;
		}
		const bool changed = !m_authenticated;
		m_authenticated = true;
		lang::Debug::printf("authenticateWithCompletionHandler succeeded!\n");
		if (changed && m_observing)
			post([this] { authenticationChanged(); });
	});
}

void GameCenter::authenticationChanged()
{
	if (m_authenticated)
	{
		lang::Debug::printf("authentication changed to enabled!\n");
		enableGameCenter();
	}
	else
	{
		lang::Debug::printf("authentication changed to disabled!\n");
		m_lua->removeGameCenter();
		m_lua->hideLoadingInitGameCenter();
	}
}

void GameCenter::enableGameCenter()
{
	if (m_authenticated)
		m_lua->prepareGameCenter(this, m_playerID, m_alias);
	m_lua->hideLoadingInitGameCenter();
}

void GameCenter::showAlert(int code, bool showDialog)
{
	if (code == ERROR_NOT_SUPPORTED)
	{
		m_observing = false;
		m_lua->removeSupport();
		return;
	}
	if (code == ERROR_CANCELLED || code == ERROR_USER_DENIED)
		return;
	if (showDialog)
		alert(errorText(code), "", [] {});
}

void GameCenter::loadLeaderboardCategories()
{
	if (!m_authenticated)
		return;
	post([this] {
		std::map<std::string, std::string> categories;
		for (const Leaderboard& board : m_leaderboards)
			categories[board.id] = board.title;
		m_lua->setLeaderboardCategories(categories);
	});
}

void GameCenter::loadAchievementMetaData()
{
	if (!m_authenticated)
		return;
	post([this] {
		std::vector<GameLua::AchievementData> list;
		for (const Achievement& a : m_achievements)
			list.push_back({a.id, a.title, a.achievedDescription, false, a.hidden, 0.f});
		m_lua->setAchievementMetaData(list);
	});
}

void GameCenter::loadAchievements()
{
	if (!m_authenticated)
		return;
	post([this] {
		std::vector<GameLua::AchievementData> list;
		for (const Achievement& a : m_achievements)
		{
			auto it = m_progress.find(a.id);
			if (it != m_progress.end())
				list.push_back({a.id, "", "", it->second >= 100.0, a.hidden, static_cast<float>(it->second)});
		}
		m_lua->setAchievements(list);
		m_lua->setAchievementsLoading(false);
	});
}

void GameCenter::postHighscore(std::string category, double value)
{
	if (!m_authenticated)
		return;
	lang::Debug::printf("GameCenter : postHighscore: %s, value: %f\n", category.c_str(), value);
	const bool valid = std::isfinite(value) && hasLeaderboard(category);
	const int64_t score = toScore(value);
	post([this, category, score, valid] {
		if (!valid)
		{
			lang::Debug::printf("reportScoreWithCompletionHandler failed for %s!\n", category.c_str());
			return;
		}
		auto it = m_bestScores.find(category);
		if (it == m_bestScores.end() || score > it->second.value)
		{
			m_bestScores[category] = {m_playerID, m_alias, score, m_nextOrder++};
			saveState();
		}
		lang::Debug::printf("reportScoreWithCompletionHandler succeeded for %s!\n", category.c_str());
		m_lua->highScoresPosted(category);
	});
}

void GameCenter::unlockAchievement(std::string id, float percent)
{
	if (!m_authenticated)
		return;
	lang::Debug::printf("unlockAchievement: %s\n", id.c_str());
	const bool valid = std::isfinite(percent) && hasAchievement(id);
	const double clamped = std::max(0.0, std::min(100.0, static_cast<double>(percent)));
	post([this, id, clamped, valid] {
		if (!valid)
		{
			lang::Debug::printf("reportAchievementWithCompletionHandler failed for %s!\n", id.c_str());
			return;
		}
		auto it = m_progress.find(id);
		if (it == m_progress.end() || clamped > it->second)
		{
			m_progress[id] = clamped;
			saveState();
		}
		lang::Debug::printf("reportAchievementWithCompletionHandler succeeded for %s!\n", id.c_str());
		m_lua->achievementRegistered(id);
	});
}

std::vector<GameCenter::Entry> GameCenter::ranked(const std::string& category) const
{
	std::vector<Entry> entries;
	auto preset = m_presetScores.find(category);
	if (preset != m_presetScores.end())
		entries = preset->second;
	auto best = m_bestScores.find(category);
	if (best != m_bestScores.end())
		entries.push_back(best->second);
	std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
		return a.value != b.value ? a.value > b.value : a.order < b.order;
	});
	return entries;
}

void GameCenter::getLeaderboardScoresForRange(std::string category, int start, int length)
{
	if (!m_authenticated)
		return;
	const bool valid = start >= 1 && length >= 1 && length <= 100 && hasLeaderboard(category);
	post([this, category, start, length, valid] {
		if (!valid)
			return;
		const std::vector<Entry> entries = ranked(category);
		std::vector<GameLua::ScoreData> scores;
		int localRank = 0, localValue = 0;
		for (size_t i = 0; i < entries.size(); ++i)
		{
			const int rank = static_cast<int>(i) + 1;
			if (entries[i].playerID == m_playerID)
			{
				localRank = rank;
				localValue = toScript(entries[i].value);
			}
			if (rank >= start && rank - start < length)
				scores.push_back({entries[i].playerID, "", rank, toScript(entries[i].value), "", ""});
		}
		if (!scores.empty())
			m_lua->setLeaderboardScores(scores, category, static_cast<int>(entries.size()), localRank, localValue);
	});
}

std::string GameCenter::leaderboardText() const
{
	std::string text;
	for (const Leaderboard& board : m_leaderboards)
	{
		text += board.title + "\n";
		const std::vector<Entry> entries = ranked(board.id);
		for (size_t i = 0; i < entries.size() && i < 10; ++i)
		{
			char line[64];
			std::snprintf(line, sizeof line, "%d. ", static_cast<int>(i) + 1);
			text += line + entries[i].alias + " " + std::to_string(entries[i].value) + "\n";
		}
	}
	return text;
}

std::string GameCenter::achievementText() const
{
	std::string text;
	for (const Achievement& a : m_achievements)
	{
		auto it = m_progress.find(a.id);
		const double percent = it == m_progress.end() ? 0.0 : it->second;
		if (a.hidden && percent <= 0.0)
			continue;
		char line[32];
		std::snprintf(line, sizeof line, " %d%%\n", static_cast<int>(percent));
		text += (percent >= 100.0 ? a.achievedDescription.empty() ? a.title : a.title + ": " + a.achievedDescription : a.title) + line;
	}
	return text;
}

void GameCenter::showView(bool leaderboards)
{
	if (!m_authenticated)
		return;
	post([this, leaderboards] {
		m_lua->stopMainMenuAnimation(leaderboards ? "leaderboard" : "achievement");
		// The frame loop stands still while the view is up.
		m_app->getOSInterface()->stopUpdate();
		bool& showing = leaderboards ? m_showingLeaderboard : m_showingAchievements;
		showing = true;
		alert(leaderboards ? "Leaderboards" : "Achievements", leaderboards ? leaderboardText() : achievementText(), [this, &showing] {
			m_app->getOSInterface()->startUpdate();
			showing = false;
		});
	});
}

void GameCenter::showLeaderboards()
{
	showView(true);
}

void GameCenter::showAchievement()
{
	showView(false);
}

bool GameCenter::hasLeaderboard(const std::string& id) const
{
	return std::any_of(m_leaderboards.begin(), m_leaderboards.end(), [&](const Leaderboard& b) { return b.id == id; });
}

bool GameCenter::hasAchievement(const std::string& id) const
{
	return std::any_of(m_achievements.begin(), m_achievements.end(), [&](const Achievement& a) { return a.id == id; });
}
