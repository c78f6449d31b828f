#include "GameFixture.h"
#include <cipher/Cipher.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <sys/stat.h>

typedef GameTest LevelFiles;

TEST_F(LevelFiles, ALevelIsPublishedAndItsGravityKept)
{
	start();
	run("loadLevel(levelPath .. '/good')");
	EXPECT_EQ("good.lua", eval("loadedObjects.filename"));
	EXPECT_EQ("dawn", eval("loadedObjects.theme"));
	EXPECT_FLOAT_EQ(3.f, lua()->gravityForceMultiplier());
	EXPECT_FALSE(lua()->contactProcessingOff());

	run("loadLevel(levelPath .. '/nogravity')");
	EXPECT_EQ("nogravity.lua", eval("loadedObjects.filename"));
	EXPECT_FLOAT_EQ(7.f, lua()->gravityForceMultiplier());
	EXPECT_EQ(12, lua()->simulationIterations());
	EXPECT_EQ(3, lua()->simulationStorePointsSampler());
	EXPECT_FLOAT_EQ(0.5f, lua()->simulationTimeStepMultiplier());
	EXPECT_FLOAT_EQ(0.25f, lua()->aimStream().spawnInterval());
	EXPECT_FLOAT_EQ(2.f, lua()->aimStream().speed());
	EXPECT_FALSE(lua()->aimingAidEnabled());
}

TEST_F(LevelFiles, AMisnamedOrMissingLevelLeavesTheLoadedOneButAppliesTheWorld)
{
	start();
	run("loadLevel(levelPath .. '/good')");
	for (const char* level : {"wrongname", "noname", "missing", "../scripts/broken"})
	{
		SCOPED_TRACE(level);
		run("worldAttributes.simulationIterations = 99");
		testing::internal::CaptureStdout();
		run(std::string("loadLevel(levelPath .. '/") + level + "')");
		const std::string log = testing::internal::GetCapturedStdout();
		EXPECT_NE(std::string::npos, log.find("Unable to load level, reason: ")) << log;
		EXPECT_EQ("good.lua", eval("loadedObjects.filename"));
		EXPECT_EQ(99, lua()->simulationIterations());
		EXPECT_FLOAT_EQ(7.f, lua()->gravityForceMultiplier());
		EXPECT_FALSE(lua()->contactProcessingOff());
	}
	const struct
	{
		const char* level;
		const char* reason;
	} reasons[] = {
		{"wrongname", "levels/wrongname.lua names another file: other.lua.\n"},
		{"noname", "levels/noname.lua names no file (no string filename).\n"},
	};
	for (const auto& c : reasons)
	{
		testing::internal::CaptureStdout();
		run(std::string("loadLevel(levelPath .. '/") + c.level + "')");
		const std::string log = testing::internal::GetCapturedStdout();
		EXPECT_NE(std::string::npos, log.find(std::string("Unable to load level, reason: ") + c.reason)) << log;
	}
}

TEST_F(LevelFiles, SavedLevelsKeepOnlyTheListedFields)
{
	start();
	run(R"(
		objects.theme = "dusk"
		objects.physicsToWorld = 20
		objects.worldGravity = 9.5
		objects.counts = {a = 1}
		objects.notListed = 5
		objects.trainCarts = "not a table"
		objects.world = {
			a = {name = "a", definition = "BLOCK_WOOD", x = 1.25, y = 2, angle = 0.5, gravityFilterCategory = "NONE",
				triggerEvents = {1}, secret = 1, canBeEdited = true, explosionRadius = 3, type = "block"},
			b = {name = "b", definition = "BLOCK_SENSOR_TARGET_A", x = 0, y = 0, angle = 0},
			c = {name = "c", definition = "BLOCK_SENSOR_TARGET_B_2", x = 0, y = 0, angle = 0, gravityFilterCategory = "HEAVY"},
			d = {name = "d", definition = "whatever", type = "compound", x = 0, y = 0, angle = 0},
			e = {name = "e", definition = "G", sensorType = "gravitation", gravitationMinForce = 1, gravitationMaxForce = 2,
				radius = 4, force = 7, x = 0, y = 0, angle = 0},
			f = {name = "f", definition = "S", sensorType = "stream", radius = 1, force = 2, nodes = {1, 2}, width = 3,
				x = 0, y = 0, angle = 0},
		}
		saveLevel(levelPath .. "/saved")
		saveLevelForReload("unused")
	)");
	const auto bytes = readBytes(userFile("data_iphone/levels/saved.lua"));
	ASSERT_FALSE(bytes.empty());
	lua::LuaTable saved(lua()->getState());
	io::ByteArrayInputStream in(bytes.data(), static_cast<int>(bytes.size()));
	saved.read(in);
	lua()->setTable("saved", saved);

	EXPECT_EQ("dusk", eval("saved.theme"));
	EXPECT_EQ("9.5", eval("saved.worldGravity"));
	EXPECT_EQ("1", eval("saved.counts.a"));
	EXPECT_EQ("nil", eval("saved.notListed"));
	EXPECT_EQ("nil", eval("saved.trainCarts"));
	EXPECT_EQ("1.25", eval("saved.world.a.x"));
	EXPECT_EQ("nil", eval("saved.world.a.gravityFilterCategory"));
	EXPECT_EQ("1", eval("saved.world.a.triggerEvents[1]"));
	EXPECT_EQ("3", eval("saved.world.a.explosionRadius"));
	EXPECT_EQ("nil", eval("saved.world.a.secret"));
	EXPECT_EQ("nil", eval("saved.world.a.type"));
	EXPECT_EQ("nil", eval("saved.world.a.canBeEdited"));
	EXPECT_EQ("nil", eval("saved.world.b"));
	EXPECT_EQ("HEAVY", eval("saved.world.c.gravityFilterCategory"));
	EXPECT_EQ("compound", eval("saved.world.d.definition"));
	EXPECT_EQ("4", eval("saved.world.e.radius"));
	EXPECT_EQ("nil", eval("saved.world.e.force"));
	EXPECT_EQ("2", eval("saved.world.f.nodes[2]"));
	EXPECT_EQ("nil", eval("saved.world.f.width"));

	// The reload copy also drops the "_2" targets and the save-only fields.
	EXPECT_EQ("nil", eval("objects.previousLevel.world.c"));
	EXPECT_EQ("nil", eval("objects.previousLevel.worldGravity"));
	EXPECT_EQ("nil", eval("objects.previousLevel.world.a.triggerEvents"));
	EXPECT_EQ("compound", eval("objects.previousLevel.world.d.definition"));
}

TEST_F(LevelFiles, APreviousLevelRestoresItsGravity)
{
	start();
	run("objects.gravityForceMultiplier = 2.5; saveLevelForReload(''); loadPreviousLevel('')");
	EXPECT_FLOAT_EQ(2.5f, lua()->gravityForceMultiplier());
	run("objects.previousLevel = nil; loadPreviousLevel('')");
	EXPECT_FLOAT_EQ(7.f, lua()->gravityForceMultiplier());
}

typedef GameTest ScriptFiles;

TEST_F(ScriptFiles, MainScriptRunsAndItsCallbacksFollow)
{
	start();
	EXPECT_TRUE(lua()->compileDone());
	EXPECT_EQ("updateValues", eval("calls[1]"));
	EXPECT_EQ("createStartUpAssets", eval("calls[2]"));
	EXPECT_EQ("10", eval("starTable.level1[1]"));
	app()->activate(false);
	app()->activate(true);
	EXPECT_EQ("gamePaused", eval("calls[3]"));
	EXPECT_EQ("gameResumed", eval("calls[4]"));
}

TEST_F(ScriptFiles, LoadsIntoGlobalsTablesAndBlockGroups)
{
	start();
	EXPECT_EQ("true", eval("checkForLuaFile(scriptPath .. '/groups.lua')"));
	EXPECT_EQ("false", eval("checkForLuaFile(scriptPath .. '/nothing.lua')"));

	run("loadLuaFile(scriptPath .. '/groups.lua', 'groupsCopy', false, false)");
	EXPECT_EQ("W2", eval("groupsCopy.wood[2].definition"));
	run("loadLuaFile(scriptPath .. '/groups.lua', 'raw', true, false)");
	EXPECT_EQ("S1", eval("blockTable.raw.stone[1].definition"));
	run("loadLuaFile(scriptPath .. '/groups.lua', 'ignored', true, true)");
	EXPECT_EQ("2", eval("blockTable.blocks.W2.index"));
	EXPECT_EQ("wood", eval("blockTable.blocks.W2.group"));
	EXPECT_EQ("stone", eval("blockTable.blocks.S1.group"));
	EXPECT_EQ("nil", eval("blockTable.blocks.SKIPPED"));
	run("loadLuaFile(scriptPath .. '/object.lua', '', false, false)");
	EXPECT_EQ("42", eval("answer"));

	testing::internal::CaptureStdout();
	run("loadLuaFile(scriptPath .. '/broken.lua', 'x', false, false)");
	EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("Unable to load lua file scripts/broken.lua\n"));
}

TEST_F(ScriptFiles, LoadToObjectChecksItsArgumentsFirst)
{
	start();
	run("target = {}; loadLuaFileToObject(scriptPath .. '/object.lua', target, 'obj')");
	EXPECT_EQ("42", eval("target.obj.answer"));
	EXPECT_EQ("true", eval("target.obj.hasGame"));
	run("loadLuaFileToObject(scriptPath .. '/object.lua', target, '')");
	EXPECT_EQ("42", eval("target.answer"));

	run("ok1, err1 = _G.pcall(loadLuaFileToObject, scriptPath .. '/object.lua', target)");
	EXPECT_EQ("false", eval("ok1"));
	EXPECT_NE(std::string::npos, eval("err1").find("3 arguments"));
	run("ok2, err2 = _G.pcall(loadLuaFileToObject, scriptPath .. '/object.lua', 5, 'k')");
	EXPECT_EQ("false", eval("ok2"));
	EXPECT_NE(std::string::npos, eval("err2").find("argument 2"));
}

TEST_F(ScriptFiles, AnUnreplacedFailureCallbackCallsNothing)
{
	start();
	// The test script replaced it; put the engine's own entry back.
	run("failed = {}; onLoadLuaFileFail = nil");
	lua()->registerMethod<&GameLua::onLoadLuaFileFail>("onLoadLuaFileFail", lua());
	lua()->onLoadLuaFileFail("x.lua");
	run("onLoadLuaFileFail('y.lua')");
	EXPECT_EQ("nil", eval("failed[1]"));
}

TEST_F(ScriptFiles, JsonAndBase64)
{
	start();
	run("j = {b = 2, a = {1, 2}}; importJSONToLuaTable('{\"z\": [5, 6]}', 'j')");
	EXPECT_EQ("6", eval("j.z[2]"));
	EXPECT_EQ("", eval("exportLuaTableAsJSON('nothing')"));
	EXPECT_EQ(eval("getJSONHash('{\"a\":1,\"b\":[1,2]}')"), eval("getJSONHash('{\"b\":[1,2],\"a\":1}')"));
	run("p = {a = 1, b = 2}; q = {a = 1, b = 3}");
	EXPECT_EQ("{\"b\":3}", eval("GetJSONDiff('p', 'q')"));
	EXPECT_EQ("", eval("GetJSONDiff('p', 'nothing')"));
	EXPECT_EQ("hello", eval("decodeBase64('aGVsbG8=')"));
	EXPECT_EQ("false", eval("checkDirectory('x')"));
}

TEST_F(ScriptFiles, ActivationBeforeTheMainScriptCallsNothing)
{
	start();
	lang::Ptr<GameLua> fresh = new GameLua(app(), app()->luaResources()->getResources(), app()->luaState(), m_context);
	EXPECT_FALSE(fresh->compileDone());
	// Its table defines no "gamePaused": a call would raise a script error.
	EXPECT_NO_THROW(fresh->activate(false));
	EXPECT_NO_THROW(fresh->activate(true));
}

namespace
{
uint32_t crc32Of(const unsigned char* data, size_t size)
{
	uint32_t crc = 0xFFFFFFFFu;
	for (size_t i = 0; i < size; ++i)
	{
		crc ^= data[i];
		for (int k = 0; k < 8; ++k)
			crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
	}
	return ~crc;
}

/** A 7z archive with no entries: the signature header and an empty directory. */
std::vector<unsigned char> empty7z()
{
	std::vector<unsigned char> a = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4, 0, 0, 0, 0};
	a.resize(32, 0);
	const uint32_t crc = crc32Of(&a[12], 20);
	for (int k = 0; k < 4; ++k)
		a[8 + k] = static_cast<unsigned char>(crc >> (8 * k));
	return a;
}

std::vector<unsigned char> enciphered(const std::vector<unsigned char>& plain)
{
	std::vector<unsigned char> out;
	encrypt(getStaticKey(), plain, out);
	return out;
}

/** A bundle of its own under the scratch folder, used while it lives. */
struct DamagedBundle
{
	std::string root;
	explicit DamagedBundle(const std::string& scratch) : root(scratch + "/damaged")
	{
		for (const char* dir : {"", "/data_iphone", "/data_iphone/scripts", "/data_iphone/scripts_common"})
			::mkdir((root + dir).c_str(), 0755);
		io::detail::setBundlePath(root);
	}
	~DamagedBundle() { io::detail::setBundlePath(TEST_BUNDLE); }
	void put(const std::string& name, const std::vector<unsigned char>& bytes)
	{
		GameTest::writeBytes(root + "/data_iphone/" + name, bytes);
	}
};
}

// A cut or altered shipped file is reported by its name and what is wrong with it.
TEST_F(ScriptFiles, DamagedShippedFilesNameTheFileAndTheCause)
{
	start();
	const std::vector<unsigned char> good = readBytes(std::string(TEST_BUNDLE) + "/data_iphone/scripts/groups.lua");
	ASSERT_GE(good.size(), 32u);
	std::vector<unsigned char> cut1(good.begin(), good.end() - 1), cutBlock(good.begin(), good.end() - 16), flipped(good);
	flipped.back() ^= 0x01;
	const std::vector<unsigned char> text = {'x', ' ', '=', ' ', '1'};
	const struct
	{
		const char* name;
		std::vector<unsigned char> bytes;
		std::string cause;
	} cases[] = {
		{"cut1", cut1, "truncated (" + std::to_string(cut1.size()) + " bytes is no whole number of 16-byte blocks)"},
		{"cutblock", cutBlock, "bad padding"},
		{"flipped", flipped, "bad padding"},
		{"empty", {}, "the file is empty"},
		{"plain", text, "truncated (5 bytes is no whole number of 16-byte blocks)"},
		{"noarchive", enciphered(text), "it holds no readable archive (Error opening 7zip file. Error "},
		{"noentry", enciphered(empty7z()), "it holds no archive entry"},
	};
	DamagedBundle bundle(m_dir.path());
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.name);
		bundle.put(std::string("scripts/") + c.name + ".lua", c.bytes);
		testing::internal::CaptureStdout();
		run(std::string("loadLuaFile(scriptPath .. '/") + c.name + ".lua', 'k', false, false)");
		const std::string log = testing::internal::GetCapturedStdout();
		const std::string expected = "EXCEPTION: cannot decipher " + bundle.root + "/data_iphone/scripts/" + c.name + ".lua: " + c.cause;
		EXPECT_NE(std::string::npos, log.find(expected)) << log;
		EXPECT_EQ(std::string::npos, log.find("EXCEPTION: \n")) << log;
	}
}

// Without its main script the game does not start: it says so instead of calling nil.
TEST_F(ScriptFiles, AMainScriptThatCannotBeLoadedStopsTheStart)
{
	const std::vector<unsigned char> good = readBytes(std::string(TEST_BUNDLE) + "/data_iphone/scripts_common/gamelogic.lua");
	ASSERT_GE(good.size(), 32u);
	std::vector<unsigned char> flipped(good), cut(good.begin(), good.end() - 3);
	flipped.back() ^= 0x80;
	const struct
	{
		const char* name;
		std::vector<unsigned char> bytes;
		const char* cause;
	} cases[] = {{"flipped", flipped, "bad padding"}, {"cut", cut, "truncated ("}};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.name);
		DamagedBundle bundle(m_dir.path());
		bundle.put("scripts_common/gamelogic.lua", c.bytes);
		const std::string path = bundle.root + "/data_iphone/scripts_common/gamelogic.lua";
		testing::internal::CaptureStdout();
		std::string message = "(started)";
		try
		{
			start();
		}
		catch (const lang::Exception& e)
		{
			message = e.getMessage().format();
		}
		const std::string log = testing::internal::GetCapturedStdout();
		EXPECT_EQ("cannot load the main script data_iphone/scripts_common/gamelogic.lua: cannot decipher " + path + ": " + c.cause,
			message.substr(0, message.find(c.cause) + std::string(c.cause).size()));
		EXPECT_NE(std::string::npos, log.find("EXCEPTION: cannot decipher " + path + ": " + c.cause)) << log;
		EXPECT_EQ(std::string::npos, log.find("nil value")) << log;
		EXPECT_FALSE(framework::App::initialized());
	}
}
