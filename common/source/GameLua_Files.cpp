// Script, level and save files of the game bridge.
#include "GameLua.h"
#include "GameApp.h"
#include "cipher/Cipher.h"
#include <io/AppDataInputStream.h>
#include <io/AppDataOutputStream.h>
#include <io/Files.h>
#include <io/BundleInputStream.h>
#include <io/ByteArrayInputStream.h>
#include <io/ByteArrayOutputStream.h>
#include <io/IOException.h>
#include <io/PathName.h>
#include <io/ZipFileInputStream.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaException.h>
#include <lua/LuaState.h>
#include <lua/LuaStackRestore.h>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace
{
std::vector<unsigned char> readAll(io::InputStream& in)
{
	io::ByteArrayInputStream whole(in);
	return std::vector<unsigned char>(whole.data(), whole.data() + whole.size());
}

std::string userFilePath(const std::string& name)
{
	return io::detail::appdataPath() + "/" + name;
}

bool fileExists(const std::string& path)
{
	struct stat st;
	return ::stat(path.c_str(), &st) == 0;
}

/** Makes the folders of a user file under the documents folder. */
void makeFolders(const std::string& name)
{
	const size_t slash = name.rfind('/');
	if (slash != std::string::npos && slash > 0)
		io::makeFolders(io::detail::appdataPath() + "/" + name.substr(0, slash), 0755);
}

/** Why bytes that did not decipher did not: a cut file is no whole number of blocks. */
std::string decipherFailure(size_t bytes)
{
	if (bytes == 0)
		return "the file is empty";
	if (bytes % 16 != 0)
		return "truncated (" + std::to_string(bytes) + " bytes is no whole number of 16-byte blocks)";
	return "bad padding";
}

/** Entry 0 of the deciphered archive; the failures name the file. */
lang::Ptr<io::ZipEntryInputStream> firstArchiveEntry(io::ByteArrayInputStream& bytes, const std::string& fileName)
{
	std::unique_ptr<io::ZipFileInputStream> zip;
	try
	{
		zip.reset(new io::ZipFileInputStream(bytes, io::ZipFileInputStream::FILEFORMAT_7ZIP));
	}
	catch (const lang::Exception& e)
	{
		lang::throwError(io::IOException(lang::Format("cannot decipher {0}: it holds no readable archive ({1})", fileName, e.getMessage().format())));
	}
	try
	{
		zip->getEntryName(0);
	}
	catch (const lang::Exception&)
	{
		lang::throwError(io::IOException(lang::Format("cannot decipher {0}: it holds no archive entry", fileName)));
	}
	lang::Ptr<io::ZipEntryInputStream> entry = zip->getEntryStream(0);
	if (!entry)
		lang::throwError(io::IOException(lang::Format("cannot decipher {0}: it holds no archive entry", fileName)));
	return entry;
}

/** True when the bytes, run as table text, gave a table without error. */
bool readTableText(lua::LuaTable& table, const void* data, size_t size, const std::string& name)
{
	io::ByteArrayInputStream in(data, static_cast<int>(size));
	in.setName(name);
	table.read(in);
	return true;
}
}

template <class F> void GameLua::readShippedFile(const std::string& name, F use)
{
	io::BundleInputStream file(m_app->path(name));
	const std::string fileName = file.toString();
	const std::vector<unsigned char> cipher = readAll(file);
	std::vector<unsigned char> plain;
	if (!decrypt(getStaticKey(), cipher, plain))
		lang::throwError(io::IOException(lang::Format("cannot decipher {0}: {1}", fileName, decipherFailure(cipher.size()))));
	io::ByteArrayInputStream bytes(plain.data(), static_cast<int>(plain.size()));
	bytes.setName(fileName);
	lang::Ptr<io::ZipEntryInputStream> entry = firstArchiveEntry(bytes, fileName);
	io::ByteArrayInputStream text(static_cast<io::InputStream&>(*entry));
	// The chunk name: "@" makes the interpreter show the file itself, "path/levels/a.lua:3:".
	text.setName("@" + fileName);
	use(text, file);
}

void GameLua::compile(const std::string& name)
{
	try
	{
		readShippedFile(name, [&](io::InputStream& text, io::BundleInputStream& file) {
			// "@": the interpreter then names the file itself in errors, "path/gamelogic.lua:12:".
			getState()->compile(text, "@" + file.toString(), this);
		});
		// Every missing one at once, before the first of them would be called.
		const std::string missing = missingRequiredCallbacks();
		if (!missing.empty())
			lang::throwError(lang::Exception(lang::Format("{0}", missing)));
		callScript("updateValues");
		m_compileDone = true;
	}
	catch (lang::Exception& e)
	{
		e.showExceptionDialog();
		m_compileError = e.getMessage().format();
		logEvent("Loading gamelogic failed", {{"Reason", m_compileError}});
	}
}

void GameLua::loadLuaFile(const std::string& name, const std::string& key, bool intoBlockTable, bool asBlockGroups)
{
	try
	{
		readShippedFile(name, [&](io::InputStream& text, io::BundleInputStream&) {
			if (key.empty())
			{
				read(text);
				return;
			}
			lua::LuaTable table(getState());
			table.read(text);
			if (!intoBlockTable)
				setTable(key, table);
			else if (!asBlockGroups)
				m_blockTable.setTable(key, table);
			else
				addToBlocksTable(table);
		});
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to load lua file %s\n", name.c_str());
		e.showExceptionDialog();
	}
}

int GameLua::loadLuaFileToObject(lua::LuaState* state)
{
	// Checked before anything is read: a bad call is the script's error.
	if (state->top() != 3)
		lang::throwError(lua::LuaException(lang::Format("loadLuaFileToObject takes 3 arguments, got {0}", state->top())));
	if (!state->isTable(2))
		lang::throwError(lua::LuaException(lang::Format("loadLuaFileToObject: argument 2 must be a table, got {0}",
			lua::LuaState::toString(state->type(2)))));
	const std::string name = state->isString(1) ? state->toString(1) : "";
	const std::string key = state->isString(3) ? state->toString(3) : "";
	lua::LuaTable target = state->toTable(2);
	try
	{
		readShippedFile(name, [&](io::InputStream& text, io::BundleInputStream&) {
			if (key.empty())
			{
				target.read(text);
				return;
			}
			lua::LuaTable table(getState());
			table.setTable("gamelua", this);
			table.read(text);
			target.setTable(key, table);
		});
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to load lua file %s to object\n", name.c_str());
		e.showExceptionDialog();
	}
	return 0;
}

void GameLua::loadLuaFileToObjectEditor(const std::string& name, const std::string& key)
{
	try
	{
		io::BundleInputStream file(m_app->path(name));
		if (key.empty())
		{
			read(file);
			return;
		}
		lua::LuaTable table(getState());
		table.read(file);
		m_blockEditorTable.setTable(key, table);
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to load lua file %s to object editor\n", name.c_str());
		e.showExceptionDialog();
	}
}

void GameLua::loadBlocksForEditing()
{
	static const char* const files[][2] = {
		{"/blocks_levelgoals.lua", "blocks_levelgoals"}, {"/blocks_scoreobjects.lua", "blocks_scoreobjects"},
		{"/zorar.lua", "zorar"}, {"/blocks_hazard.lua", "blocks_hazard"}, {"/blocks_wood.lua", "blocks_wood"},
		{"/blocks_stone.lua", "blocks_stone"}, {"/blocks_glass.lua", "blocks_glass"},
		{"/blocks_gameElements.lua", "blocks_gameElements"}, {"/blocks_static.lua", "blocks_static"},
		{"/blocks_planets.lua", "blocks_planets"}, {"/blocks_asteroids.lua", "blocks_asteroids"},
		{"/blocks_decorations.lua", "blocks_decorations"}, {"/blocks_sensors.lua", "blocks_sensors"},
		{"/groups.lua", "groups"}};
	setTable("blockEditorTable", m_blockEditorTable);
	const std::string scriptPath = isString("scriptPath") ? getString("scriptPath") : "";
	for (const auto& file : files)
		loadLuaFileToObjectEditor(scriptPath + file[0], file[1]);
}

void GameLua::addToBlocksTable(const lua::LuaTable& groups)
{
	lua::LuaState* state = getState();
	lua::LuaStackRestore restore(state);
	lua::LuaTable blocks = m_blockTable.getTable("blocks");
	state->pushTable(groups);
	const int g = state->top();
	state->pushNil();
	while (state->next(g))
	{
		// Keys are read by type, never converted, so next() keeps its place.
		if (state->type(-2) == lua::LuaState::TYPE_STRING && state->isTable(-1))
		{
			const std::string group = state->toString(-2);
			const int t = state->top();
			state->pushNil();
			while (state->next(t))
			{
				if (state->type(-2) == lua::LuaState::TYPE_NUMBER && state->isTable(-1))
				{
					lua::LuaTable entry = state->toTable(-1);
					entry.setNumber("index", state->toNumber(-2));
					entry.setString("group", group);
					blocks.setTable(entry.getString("definition"), entry);
				}
				state->pop(1);
			}
		}
		state->pop(1);
	}
}

bool GameLua::checkForLuaFile(const std::string& name)
{
	try
	{
		io::BundleInputStream file(m_app->path(name));
		return true;
	}
	catch (lang::Exception&)
	{
		return false;
	}
}

void GameLua::clearLevel()
{
	m_accumulator = 0.f;
	m_contactsOff = true;
	m_deadBlocks = isTable("deadBlocks") ? getTable("deadBlocks") : lua::LuaTable();
	lang::Debug::printf("Removing physics objects...\n");
	checkUnlocked("level");
	removeAllObjects();
	m_particles->clearAll();
	clearTrajectories();
	if (m_deterministicPhysics)
		resetPhysicsWorld(b2Vec2(0.f, 0.f), m_world->GetAllowSleeping());
}

void GameLua::loadLevel(const std::string& name)
{
	if (name != m_levelName)
	{
		m_startingCameraSet = false;
		m_levelName = name;
	}
	clearLevel();
	m_levelGaveGravity = false;
	try
	{
		lang::Debug::printf("Loading level from file...\n");
		const std::string fileName = name + ".lua";
		lua::LuaTable level(getState());
		readShippedFile(fileName, [&](io::InputStream& text, io::BundleInputStream&) { level.read(text); });
		const std::string expected = io::PathName(m_app->path(fileName)).filename();
		if (!level.isString("filename"))
			lang::throwError(lang::Exception(lang::Format("{0} names no file (no string filename)", fileName)));
		if (level.getString("filename") != expected)
			lang::throwError(lang::Exception(lang::Format("{0} names another file: {1}", fileName, level.getString("filename"))));
		setTable("loadedObjects", level);
		if (level.isNumber("gravityForceMultiplier"))
		{
			m_gravityForceMultiplier = level.getNumber("gravityForceMultiplier");
			m_levelGaveGravity = true;
		}
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to load level, reason: %s.\n", e.getMessage().format().c_str());
	}
	applyWorldAttributes();
}

void GameLua::loadPreviousLevel(const std::string&)
{
	m_startingCameraSet = false;
	clearLevel();
	m_levelGaveGravity = false;
	if (m_objects.isTable("previousLevel"))
	{
		lua::LuaTable previous = m_objects.getTable("previousLevel");
		if (previous.isNumber("gravityForceMultiplier"))
		{
			m_gravityForceMultiplier = previous.getNumber("gravityForceMultiplier");
			m_levelGaveGravity = true;
		}
	}
	applyWorldAttributes();
}

void GameLua::applyWorldAttributes()
{
	m_worldAttributes = isTable("worldAttributes") ? getTable("worldAttributes") : lua::LuaTable(getState());
	if (!m_levelGaveGravity)
		m_gravityForceMultiplier = m_worldAttributes.getNumber("defaultGravityForceMultiplier");
	m_simulationIterations = lua::detail::numberToInt(m_worldAttributes.getNumber("simulationIterations"));
	m_simulationTimeStepMultiplier = m_worldAttributes.getNumber("simulationTimeStepMultiplier");
	m_simulationStorePointsSampler = lua::detail::numberToInt(m_worldAttributes.getNumber("simulationStorePointsSampler"));
	m_simulationAimSpawnTime = m_worldAttributes.getNumber("simulationAimSpawnTime");
	m_simulationAimSpeed = m_worldAttributes.getNumber("simulationAimSpeed");
	m_aimStream.setSpawnInterval(m_simulationAimSpawnTime);
	m_aimStream.setSpeed(m_simulationAimSpeed);
	m_aimingAid = false;
	m_aimStream.disableStream();
	m_contactsOff = false;
}

namespace
{
enum FieldType { T_TABLE, T_STRING, T_NUMBER, T_BOOLEAN };

bool hasType(const lua::LuaTable& t, const char* key, FieldType type)
{
	lua::LuaState* state = t.getState();
	lua::LuaStackRestore restore(state);
	t.pushMember(key);
	switch (type)
	{
	case T_TABLE: return state->type(-1) == lua::LuaState::TYPE_TABLE;
	case T_STRING: return state->type(-1) == lua::LuaState::TYPE_STRING;
	case T_NUMBER: return state->type(-1) == lua::LuaState::TYPE_NUMBER;
	case T_BOOLEAN: return state->type(-1) == lua::LuaState::TYPE_BOOLEAN;
	}
	return false;
}

/** Copies from[key] to to[key] when it has the type. */
void copyIf(const lua::LuaTable& from, lua::LuaTable& to, const char* key, FieldType type)
{
	if (!hasType(from, key, type))
		return;
	switch (type)
	{
	case T_TABLE: to.setTable(key, from.getTable(key)); break;
	case T_STRING: to.setString(key, from.getString(key)); break;
	case T_NUMBER:
	{
		// Through the stack, so doubles keep their precision.
		lua::LuaState* state = from.getState();
		lua::LuaStackRestore restore(state);
		state->pushTable(to);
		state->pushString(key);
		from.pushMember(key);
		state->setTable(-3);
		break;
	}
	case T_BOOLEAN: to.setBoolean(key, from.getBoolean(key)); break;
	}
}

std::string stringField(const lua::LuaTable& t, const char* key)
{
	return hasType(t, key, T_STRING) ? t.getString(key) : std::string();
}
}

lua::LuaTable GameLua::buildLevelTable(bool forReload)
{
	lua::LuaState* state = getState();
	lua::LuaTable level(state);
	static const std::pair<const char*, FieldType> top[] = {
		{"trainCarts", T_TABLE}, {"theme", T_STRING}, {"projectileCameraData", T_TABLE},
		{"castleCameraData", T_TABLE}, {"focusCameraData", T_TABLE}, {"physicsToWorld", T_NUMBER},
		{"joints", T_TABLE}, {"compounds", T_TABLE}, {"counts", T_TABLE},
		{"doNotWaitForMovingObjects", T_BOOLEAN}, {"themeSprites", T_TABLE}, {"gravityForceMultiplier", T_NUMBER}};
	for (const auto& field : top)
		copyIf(m_objects, level, field.first, field.second);
	if (!forReload)
		copyIf(m_objects, level, "worldGravity", T_NUMBER);

	lua::LuaTable world(state);
	level.setTable("world", world);
	if (!hasType(m_objects, "world", T_TABLE))
		return level;

	lua::LuaTable objects = m_objects.getTable("world");
	lua::LuaStackRestore restore(state);
	state->pushTable(objects);
	const int w = state->top();
	state->pushNil();
	while (state->next(w))
	{
		if (state->type(-2) != lua::LuaState::TYPE_STRING || !state->isTable(-1))
		{
			state->pop(1);
			continue;
		}
		const std::string key = state->toString(-2);
		lua::LuaTable o = state->toTable(-1);
		state->pop(1);

		const std::string definition = stringField(o, "definition");
		if (definition == "BLOCK_SENSOR_TARGET_A" || definition == "BLOCK_SENSOR_TARGET_B")
			continue;
		if (forReload && (definition == "BLOCK_SENSOR_TARGET_B_2" || definition == "BLOCK_SENSOR_TARGET_A_2"))
			continue;

		lua::LuaTable e(state);
		for (const char* k : {"angle", "x", "y"})
			copyIf(o, e, k, T_NUMBER);
		for (const char* k : {"name", "definition"})
			copyIf(o, e, k, T_STRING);
		if (!forReload)
		{
			if (stringField(o, "gravityFilterCategory") != "NONE")
				copyIf(o, e, "gravityFilterCategory", T_STRING);
			copyIf(o, e, "triggerEvents", T_TABLE);
		}
		if (stringField(o, "type") == "compound")
			e.setString("definition", "compound");
		for (const char* k : {"scale", "scaleX", "scaleY"})
			copyIf(o, e, k, T_NUMBER);
		copyIf(o, e, "themeTexture", T_STRING);
		for (const char* k : {"startNumber", "episodeType", "pageNumber", "shotPattern"})
			copyIf(o, e, k, T_NUMBER);
		copyIf(o, e, "useEmotionSensor", T_BOOLEAN);

		const std::string sensorType = stringField(o, "sensorType");
		if (sensorType == "gravitation")
		{
			for (const char* k : {"gravitationMinForce", "gravitationMaxForce", "radius", "width", "height", "forceAngle"})
				copyIf(o, e, k, T_NUMBER);
		}
		else if (sensorType == "stream")
		{
			for (const char* k : {"radius", "force"})
				copyIf(o, e, k, T_NUMBER);
			for (const char* k : {"nodes", "vertices"})
				copyIf(o, e, k, T_TABLE);
		}
		else if (sensorType == "killing")
		{
			for (const char* k : {"width", "height"})
				copyIf(o, e, k, T_NUMBER);
		}
		if (hasType(o, "canBeEdited", T_BOOLEAN) && o.getBoolean("canBeEdited"))
		{
			for (const char* k : {"explosionRadius", "explosionForce", "explosionDamageRadius", "explosionDamage", "startingForce", "forceAngle"})
				copyIf(o, e, k, T_NUMBER);
		}
		world.setTable(key, e);
	}
	return level;
}

void GameLua::saveLevel(const std::string& name)
{
	try
	{
		lua::LuaTable level = buildLevelTable(false);
		const std::string fileName = m_app->path(name + ".lua");
		makeFolders(fileName);
		io::AppDataOutputStream out(fileName);
		level.write(out, 0, false);
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to save level %s: %s\n", name.c_str(), e.getMessage().format().c_str());
	}
}

void GameLua::saveLevelForReload(const std::string&)
{
	m_objects.setTable("previousLevel", buildLevelTable(true));
}

lua::LuaTable GameLua::loadPersistentFile(const std::string& name)
{
	lua::LuaState* state = getState();
	const std::string path = userFilePath(name);
	if (!fileExists(path))
	{
		m_failedFiles.push_back("File Created:" + name);
		return lua::LuaTable(state);
	}

	std::vector<unsigned char> bytes;
	try
	{
		io::AppDataInputStream in(name);
		bytes = readAll(in);
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Cannot read save file %s: %s\n", name.c_str(), e.getMessage().format().c_str());
	}

	std::vector<unsigned char> plain;
	std::string reason = bytes.empty() ? "the file is empty" : "";
	if (!bytes.empty() && decrypt(getVariableKey(), bytes, plain))
	{
		lua::LuaTable table(state);
		try
		{
			readTableText(table, plain.data(), plain.size(), name);
			return table;
		}
		catch (lua::LuaException& e)
		{
			reason = e.getMessage().format();
			logEvent("Load failed", {{"Filename", name}, {"Reason", reason}});
		}
	}
	else if (!bytes.empty())
	{
		reason = "cannot decipher " + name + ": " + decipherFailure(bytes.size());
	}
	// Files written plain by a script, or when enciphering failed.
	if (!bytes.empty())
	{
		lua::LuaTable table(state);
		try
		{
			readTableText(table, bytes.data(), bytes.size(), name);
			return table;
		}
		catch (lua::LuaException&)
		{
		}
	}

	// Keep the unreadable bytes out of the way of the next save.
	std::string bad = path + ".bad";
	for (int i = 1; fileExists(bad); ++i)
		bad = path + ".bad." + std::to_string(i);
	if (std::rename(path.c_str(), bad.c_str()) == 0)
		lang::Debug::printf("Save file %s could not be read (%s); kept as %s\n", path.c_str(), reason.c_str(), bad.c_str());
	else
		lang::Debug::printf("Save file %s could not be read (%s) nor kept as %s\n", path.c_str(), reason.c_str(), bad.c_str());
	return lua::LuaTable(state);
}

void GameLua::writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted)
{
	io::ByteArrayOutputStream text;
	const_cast<lua::LuaTable&>(table).write(text, 0, false);
	const std::vector<unsigned char> plain(text.data().begin(), text.data().end());
	std::vector<unsigned char> cipher;
	const std::vector<unsigned char>* bytes = &plain;
	if (encrypted && encrypt(getVariableKey(), plain, cipher))
		bytes = &cipher;
	makeFolders(name);
	io::AppDataOutputStream out(name);
	out.write(bytes->data(), static_cast<int>(bytes->size()));
}

void GameLua::savePersistentLuaFile(const std::string& name, const std::string& key)
{
	saveLuaFile(name, key, true);
}

void GameLua::saveLuaFile(const std::string& name, const std::string& key, bool encrypted)
{
	try
	{
		if (isTable(key))
			writeTable(name, getTable(key), encrypted);
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Unable to save %s: %s\n", name.c_str(), e.getMessage().format().c_str());
	}
}

void GameLua::loadPurchases()
{
	if (!isString("deviceModel"))
		return;
	const std::string model = getString("deviceModel");
	if (model == "osx" || model == "windows")
		return;
	setTable("g_gamePurchasesTable", loadPersistentFile("gamepurchases.lua"));
	setTable("g_zorrelPurchasesTable", loadPersistentFile("zorrelpurchases.lua"));
	setTable("g_episodePurchasesTable", loadPersistentFile("episodepurchases.lua"));
}

void GameLua::onLoadLuaFileFail(const std::string& name)
{
	// While the entry is still this operation's own closure, the scripts define no handler.
	lua::LuaState* state = getState();
	{
		lua::LuaStackRestore restore(state);
		pushMember("onLoadLuaFileFail");
		if (lua_iscfunction(state->getLua(), -1) || state->type(-1) != lua::LuaState::TYPE_FUNCTION)
		{
			missingCallback("onLoadLuaFileFail", nullptr);
			return;
		}
	}
	callScript("onLoadLuaFileFail", name);
}

// Script, level and save files, JSON and Base64.
void GameLua::registerFiles()
{
	registerWorldMethod<&GameLua::loadBlocksForEditing>("loadBlocksForEditing");
	registerWorldMethod<&GameLua::loadLevel>("loadLevel");
	registerWorldMethod<&GameLua::loadPreviousLevel>("loadPreviousLevel");
	registerMethod<&GameLua::saveLevel>("saveLevel", this);
	registerMethod<&GameLua::saveLevelForReload>("saveLevelForReload", this);
	registerMethod<&GameLua::saveLuaFile>("saveLuaFile", this);
	registerMethod<&GameLua::savePersistentLuaFile>("savePersistentLuaFile", this);
	registerMethod<&GameLua::storePersistentData>("storePersistentData", this);
	registerMethod<&GameLua::createDirectory>("createDirectory", this);
	registerMethod<&GameLua::checkDirectory>("checkDirectory", this);
	registerMethod<&GameLua::checkForLuaFile>("checkForLuaFile", this);
	registerMethod<&GameLua::onLoadLuaFileFail>("onLoadLuaFileFail", this);
	registerMethod<&GameLua::importJSONToLuaTable>("importJSONToLuaTable", this);
	registerMethod<&GameLua::exportLuaTableAsJSON>("exportLuaTableAsJSON", this);
	registerMethod<&GameLua::getJSONHash>("getJSONHash", this);
	registerMethod<&GameLua::GetJSONDiff>("GetJSONDiff", this);
	registerMethod<&GameLua::decodeBase64>("decodeBase64", this);
	registerLuaMethod("loadLuaFileToObject", this, &GameLua::loadLuaFileToObject,
		"file, target table, key (exactly 3)");
	registerWorldMethod<&GameLua::loadLuaFile>("loadLuaFile");
}
