#include "OperationReference.h"
#include "GameApp.h"
#include <framework/OSInterface.h>
#include <game/LuaResources.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaState.h>
#include <lua/OperationCatalogue.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

namespace
{
/** Save files, platform state and settings go to a folder of their own while it lives. */
class ScratchEnvironment
{
public:
	ScratchEnvironment() : m_bundle(io::detail::bundlePath()), m_appdata(io::detail::appdataPath())
	{
		char tmpl[] = "/tmp/engine-operations.XXXXXX";
		if (!mkdtemp(tmpl))
			lang::throwError(lang::Exception(lang::Format("cannot make a scratch folder for the operation reference")));
		m_dir = tmpl;
		for (const char* name : VARIABLES)
		{
			const char* value = std::getenv(name);
			m_saved.emplace_back(value != nullptr, value ? value : "");
			setenv(name, (m_dir + "/" + name).c_str(), 1);
		}
		io::detail::setBundlePath(m_dir);
		io::detail::setAppdataPath(m_dir);
	}
	~ScratchEnvironment()
	{
		for (size_t i = 0; i < m_saved.size(); ++i)
		{
			if (m_saved[i].first)
				setenv(VARIABLES[i], m_saved[i].second.c_str(), 1);
			else
				unsetenv(VARIABLES[i]);
		}
		io::detail::setBundlePath(m_bundle);
		io::detail::setAppdataPath(m_appdata);
		std::error_code ignored;
		std::filesystem::remove_all(m_dir, ignored);
	}

private:
	static constexpr const char* VARIABLES[] = {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};
	std::string m_dir, m_bundle, m_appdata;
	std::vector<std::pair<bool, std::string>> m_saved;
};

/** Registering the operations asks nothing of the platform. */
class NoPlatform : public framework::OSInterface
{
public:
	void loadShaders(const std::string&, bool) override {}
	std::string getDefaultDataPath() override { return io::detail::bundlePath(); }
	void setResolution(int, int) override {}
	void setOrientation(gr::Context::OrientationType) override {}
	void allowSleep(bool) override {}
	bool isSilentProfile() override { return false; }
	void startUpdate() override {}
	void stopUpdate() override {}
	void setFullscreen(bool) override {}
	bool isFullscreen() override { return false; }
	bool captureMouse(bool) override { return false; }
	bool isMouseCaptured() override { return false; }
	void setMousePosition(int, int) override {}
	void setCursor(const std::string&) override {}
};

std::vector<lua::OperationCatalogue::Entry> registrations(gr::Context* context)
{
	ScratchEnvironment scratch;
	lua::OperationCatalogue catalogue;
	{
		NoPlatform os;
		GameApp owner{GameApp::StandIn(), os};
		lang::Ptr<lua::LuaState> state = new lua::LuaState();
		lang::Ptr<game::LuaResources> res = new game::LuaResources(state, context);
		lang::Ptr<GameLua> game = new GameLua(&owner, res->getResources(), state, context);
	}
	return catalogue.entries();
}

/** A raw handler's words, split at "->" into arguments and results. */
void splitWords(const std::string& words, std::string& arguments, std::string& results)
{
	const size_t arrow = words.find("->");
	arguments = words.substr(0, arrow);
	results = arrow == std::string::npos ? "" : words.substr(arrow + 2);
	while (!arguments.empty() && arguments.back() == ' ')
		arguments.pop_back();
	while (!results.empty() && results.front() == ' ')
		results.erase(0, 1);
}

const char* const HEADER =
	"# Script operations and callbacks\n"
	"\n"
	"Written by `build/engine --list-operations` from the engine's own registrations; the test\n"
	"`script_operations_reference` fails when this file differs from them. After adding or\n"
	"changing an operation, run `build/engine --list-operations > docs/script-operations.md`.\n"
	"A first game's view of these is [the guide](first-game.md).\n"
	"\n"
	"Arguments are read by position, the first at position 1. A typed operation checks the type\n"
	"of each: `number`; `integer` (a number, truncated toward zero); `boolean` (true or false:\n"
	"nil is refused); `string` (a number is refused); `table`. A wrong or missing argument stops\n"
	"the script with an error naming the operation, the position and both types. An operation\n"
	"marked *own* reads its arguments itself, as its description says; `[ ]` marks what may be\n"
	"left out.\n";

std::string format(const std::vector<lua::OperationCatalogue::Entry>& entries)
{
	std::string out = HEADER;
	out += "\n## Callbacks: the functions the engine calls\n\n"
		   "The game's main script defines them as globals. Without a required one the game does not\n"
		   "start; without an optional one the engine says so once in the log and goes on.\n\n"
		   "| Function | Arguments | Called | Required |\n|---|---|---|---|\n";
	for (const GameLua::ScriptCallback& c : GameLua::scriptCallbacks())
		out += std::string("| `") + c.name + "` | " + c.arguments + " | " + c.when + " | " + (c.required ? "yes" : "no") + " |\n";

	struct Table
	{
		const char* key;
		const char* title;
		const char* use;
	};
	const Table tables[] = {{"", "The game's globals", "Called as plain functions: `createBox(...)`."},
		{"res", "`res`: sprites, fonts, texts and sounds", "Called with a dot: `res.drawSprite(...)`."},
		{"particles", "`particles`", "Called with a dot: `particles.addParticles(...)`."}};
	std::map<std::string, size_t> counts;
	for (const auto& e : entries)
		++counts[e.table];
	for (const Table& t : tables)
	{
		out += std::string("\n## ") + t.title + "\n\n" + t.use + " " + std::to_string(counts[t.key]) + " operations.\n";
		std::string topic = "\n";
		for (const auto& e : entries)
		{
			if (e.table != t.key)
				continue;
			if (e.topic != topic)
			{
				topic = e.topic;
				if (*t.key == 0)
					out += "\n### " + topic + "\n";
				out += "\n| Operation | Arguments | Results |\n|---|---|---|\n";
			}
			std::string arguments = e.arguments, results = e.results;
			if (e.raw)
				splitWords(e.arguments, arguments, results);
			if (arguments.empty())
				arguments = "none";
			if (e.raw)
				arguments = "*own:* " + arguments;
			out += "| `" + e.name + "` | " + arguments + " | " + results + " |\n";
		}
	}
	return out;
}
}

std::string scriptOperationReference(gr::Context* context)
{
	const std::vector<lua::OperationCatalogue::Entry> entries = registrations(context);
	std::string undescribed;
	for (const auto& e : entries)
	{
		if (e.raw && e.arguments.empty())
			undescribed += (undescribed.empty() ? "" : ", ") + (e.table.empty() ? "" : e.table + ".") + e.name;
	}
	if (!undescribed.empty())
		lang::throwError(lang::Exception(lang::Format(
			"operations registered without the words that describe their arguments: {0}", undescribed)));
	return format(entries);
}
