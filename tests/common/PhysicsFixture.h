#ifndef TESTS_COMMON_PHYSICSFIXTURE_H
#define TESTS_COMMON_PHYSICSFIXTURE_H

#include "GameFixture.h"
#include <io/ByteArrayInputStream.h>
#include <lua/LuaException.h>

/** The game with the physics hooks defined as counters; physics stays off until enable(). */
class PhysicsTest : public GameTest
{
protected:
	void SetUp() override
	{
		start();
		run("steps = 0; removals = 0\n"
			"function applyForcesAtPhysicsStep() steps = steps + 1 end\n"
			"function removeBlocks() removals = removals + 1 end\n"
			"function clearLuaForceFunctions() end\n"
			"function selectObjectAnimation(name, speed, direction, dt) end\n"
			"function enterCollision() end function exitCollision() end\n"
			"function projectileCollision() end function blockCollision() end\n");
	}

	void enable() { run("setPhysicsEnabled(true)"); }

	/** The script error of the code, "" when it ran. */
	std::string error(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		in.setName("test");
		try
		{
			lua()->getState()->compile(in, "test", lua());
		}
		catch (lua::LuaException& e)
		{
			return e.getMessage().format();
		}
		return "";
	}

	GameLua::RenderObjectData* object(const std::string& name) { return lua()->findObject(name); }
	b2Body* body(const std::string& name) { return lua()->getBody(name); }
	int bodyCount() { return lua()->world()->GetBodyCount(); }
	float number(const std::string& expression) { return std::stof(eval(expression)); }
};

#endif
