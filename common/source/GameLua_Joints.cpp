// Script joints: welds, distance springs, revolute hinges, prismatic sliders and timer links.
#include "GameLua.h"
#include "PhysicsChecks.h"
#include <lang/Debug.h>
#include <lua/LuaState.h>
#include <cfloat>
#include <cmath>

using physics::finite;
using physics::scriptError;

namespace
{
const int WELD = 0, DISTANCE = 1, REVOLUTE = 3, PRISMATIC = 4, TIMER_LINK = 5;

float number(const lua::LuaTable& t, const char* key, float fallback, const std::string& name)
{
	return t.isNumber(key) ? finite(t.getNumber(key), key, name) : fallback;
}

bool flag(const lua::LuaTable& t, const char* key, bool fallback)
{
	return t.isBoolean(key) ? t.getBoolean(key) : fallback;
}

/** The joint description of a raw call: the first argument when a table, else the top of the stack. */
lua::LuaTable descriptionArgument(lua::LuaState* state, const char* operation)
{
	const int top = state->top();
	if (top >= 1 && state->isTable(1))
		return state->toTable(1);
	if (top >= 1 && state->isTable(top))
		return state->toTable(top);
	scriptError("A joint table is expected", operation);
}

/** 2.4.1's distance joint is rigid unless its length may vary: a frequency makes it 2.2.1's spring. */
void setSpring(b2DistanceJoint* joint, float frequency, float ratio)
{
	if (frequency > 0.f)
	{
		float stiffness = 0.f, damping = 0.f;
		b2LinearStiffness(stiffness, damping, frequency, ratio, joint->GetBodyA(), joint->GetBodyB());
		joint->SetMaxLength(FLT_MAX);
		joint->SetMinLength(0.f);
		joint->SetStiffness(stiffness);
		joint->SetDamping(damping);
	}
	else
	{
		joint->SetStiffness(0.f);
		joint->SetDamping(0.f);
		joint->SetMinLength(joint->GetLength());
		joint->SetMaxLength(joint->GetLength());
	}
}

/** Motor and limit settings common to hinges and sliders. */
struct MotorLimits
{
	bool motor, limit;
	float speed, maxTorque, lower, upper;
};
}

void GameLua::registerJoints()
{
	registerLuaMethod("createJoint", this, &GameLua::createJointLua,
		"joint table {name, end1, end2, type, ...} [, 4 unused arguments, x1, y1, x2, y2 (world "
		"anchors)]");
	registerLuaMethod("createJoints", this, &GameLua::createJointsLua, "table of joint tables");
	registerWorldMethod<&GameLua::destroyJoint>("destroyJoint");
	registerLuaMethod("setJointParameters", this, &GameLua::setJointParametersLua,
		"joint table {name, ...} with the parameters to change");
	registerWorldMethod<&GameLua::removeJointsFromObject>("removeJointsFromObject");
	registerWorldMethod<&GameLua::setRevoluteJointSpeed>("setRevoluteJointSpeed");
	registerWorldMethod<&GameLua::removeBreakableJointsFromObject>("removeBreakableJointsFromObject");
	registerMethod<&GameLua::checkJointLimits>("checkJointLimits", this);
}

int GameLua::createJointLua(lua::LuaState* state)
{
	touchWorld();
	const lua::LuaTable description = descriptionArgument(state, "createJoint");
	float points[4];
	bool given = state->top() >= 9;
	for (int i = 0; given && i < 4; ++i)
	{
		given = state->type(6 + i) == lua::LuaState::TYPE_NUMBER;
		if (given)
			points[i] = static_cast<float>(lua_tonumber(state->getLua(), 6 + i));
	}
	createJoint(description, given ? points : nullptr);
	return 0;
}

int GameLua::createJointsLua(lua::LuaState* state)
{
	touchWorld();
	const lua::LuaTable list = descriptionArgument(state, "createJoints");
	// Collected first: creation writes script tables while the list would be walked.
	std::vector<lua::LuaTable> descriptions;
	{
		lua::LuaStackRestore guard(state);
		state->pushTable(list);
		const int index = state->top();
		state->pushNil();
		while (state->next(index))
		{
			if (!state->isTable(-1))
				scriptError("A joint description is not a table", "createJoints");
			descriptions.push_back(state->toTable(-1));
			state->pop(1);
		}
	}
	for (const lua::LuaTable& description : descriptions)
		createJoint(description, nullptr);
	return 0;
}

void GameLua::createJoint(const lua::LuaTable& t, const float* worldPoints)
{
	const std::string name = t.getString("name");
	const std::string end1 = t.getString("end1");
	const std::string end2 = t.getString("end2");
	const float typeValue = t.getNumber("type");
	const int type = std::isfinite(typeValue) ? lua::detail::numberToInt(typeValue) : -1;
	if (type != WELD && type != DISTANCE && type != REVOLUTE && type != PRISMATIC && type != TIMER_LINK)
	{
		lang::Debug::printf("Unknown joint type %g (%s)\n", static_cast<double>(typeValue), name.c_str());
		return;
	}
	checkUnlocked(name);
	RenderObjectData* r1 = findObject(end1);
	RenderObjectData* r2 = findObject(end2);
	if (!r1 || !r2 || !r1->body || !r2->body)
		scriptError("Joint bodies are not defined!", name);
	b2Body* bA = r1->body;
	b2Body* bB = r2->body;
	if (type != TIMER_LINK && bA == bB)
		scriptError("Both ends of the joint are one body", name);

	const int coordType = t.isNumber("coordType") ? lua::detail::numberToInt(std::floor(number(t, "coordType", 0.f, name) + 0.5f)) : 0;
	const float x1 = number(t, "x1", 0.f, name), y1 = number(t, "y1", 0.f, name);
	const float x2 = number(t, "x2", 0.f, name), y2 = number(t, "y2", 0.f, name);
	const bool collideConnected = flag(t, "collideConnected", false);

	lua::LuaTable jt(getState());
	jt.setString("name", name);
	jt.setString("end1", end1);
	jt.setString("end2", end2);
	jt.setNumber("type", static_cast<float>(type));
	jt.setNumber("coordType", static_cast<float>(coordType));
	if (t.isBoolean("breakable"))
		jt.setBoolean("breakable", t.getBoolean("breakable"));
	if (t.isNumber("breakForce"))
		jt.setNumber("breakForce", t.getNumber("breakForce"));
	jt.setNumber("x1", x1);
	jt.setNumber("x2", x2);
	jt.setNumber("y1", y1);
	jt.setNumber("y2", y2);

	MotorLimits ml = {};
	if (type == REVOLUTE || type == PRISMATIC)
	{
		const bool revolute = type == REVOLUTE;
		ml.motor = flag(t, "motor", !revolute);
		ml.speed = number(t, "motorSpeed", 0.f, name);
		ml.maxTorque = number(t, "maxTorque", 10000.f, name);
		ml.limit = flag(t, "limit", !revolute);
		ml.lower = number(t, "lowerLimit", 0.f, name);
		ml.upper = number(t, "upperLimit", revolute ? b2_pi : 5.f, name);
		if (ml.lower > ml.upper)
			scriptError("The joint's lower limit is above its upper limit", name);
		jt.setBoolean("motor", ml.motor);
		jt.setNumber("motorSpeed", ml.speed);
		jt.setNumber("maxTorque", ml.maxTorque);
		jt.setBoolean("limit", ml.limit);
		jt.setNumber("lowerLimit", ml.lower);
		jt.setNumber("upperLimit", ml.upper);
		jt.setBoolean("backAndForth", flag(t, "backAndForth", !revolute));
	}

	b2Joint* joint = nullptr;
	switch (type)
	{
	case WELD:
	{
		b2WeldJointDef def;
		def.Initialize(bA, bB, 0.5f * (bA->GetWorldPoint(b2Vec2(x1, y1)) + bB->GetWorldPoint(b2Vec2(x2, y2))));
		def.collideConnected = collideConnected;
		joint = m_world->CreateJoint(&def);
		break;
	}
	case DISTANCE:
	{
		const float frequency = number(t, "frequency", 4.f, name);
		const float ratio = number(t, "dampingRatio", 0.5f, name);
		b2DistanceJointDef def;
		def.bodyA = bA;
		def.bodyB = bB;
		def.collideConnected = collideConnected;
		if (coordType == 2)
		{
			def.localAnchorA.Set(x1, y1);
			def.localAnchorB.Set(x2, y2);
			def.length = (bB->GetWorldPoint(def.localAnchorB) - bA->GetWorldPoint(def.localAnchorA)).Length();
		}
		else if (coordType == 1)
		{
			const b2Vec2 pA = worldPoints ? b2Vec2(finite(worldPoints[0], "x1", name), finite(worldPoints[1], "y1", name))
										  : b2Vec2(x1, y1);
			const b2Vec2 pB = worldPoints ? b2Vec2(finite(worldPoints[2], "x2", name), finite(worldPoints[3], "y2", name))
										  : b2Vec2(x2, y2);
			def.localAnchorA = pA - bA->GetPosition();
			def.localAnchorB = pB - bB->GetPosition();
			def.length = (pB - pA).Length();
		}
		else if (coordType == 0)
			def.length = (bB->GetPosition() - bA->GetPosition()).Length();
		def.minLength = def.maxLength = def.length;
		b2DistanceJoint* distance = static_cast<b2DistanceJoint*>(m_world->CreateJoint(&def));
		setSpring(distance, frequency, ratio);
		joint = distance;
		jt.setNumber("frequency", frequency);
		jt.setNumber("dampingRatio", ratio);
		break;
	}
	case REVOLUTE:
	{
		b2RevoluteJointDef def;
		def.Initialize(bA, bB, bA->GetWorldPoint(b2Vec2(x1, y1)));
		def.enableMotor = ml.motor;
		def.motorSpeed = ml.speed;
		def.maxMotorTorque = ml.maxTorque;
		def.enableLimit = ml.limit;
		def.lowerAngle = ml.lower;
		def.upperAngle = ml.upper;
		def.collideConnected = collideConnected;
		joint = m_world->CreateJoint(&def);
		if (flag(t, "isMenuJoint", false))
		{
			jt.setBoolean("isMenuJoint", true);
			m_objects.setString("rotatingMenuJoint", name);
		}
		break;
	}
	case PRISMATIC:
	{
		const float axisX = number(t, "worldAxisX", 0.f, name), axisY = number(t, "worldAxisY", 0.f, name);
		b2PrismaticJointDef def;
		def.Initialize(bA, bB, bA->GetWorldPoint(b2Vec2(x1, y1)), b2Vec2(axisX, axisY));
		def.enableLimit = ml.limit;
		def.lowerTranslation = ml.lower;
		def.upperTranslation = ml.upper;
		def.enableMotor = ml.motor;
		def.motorSpeed = ml.speed;
		def.maxMotorForce = ml.maxTorque;
		def.collideConnected = collideConnected;
		joint = m_world->CreateJoint(&def);
		jt.setNumber("worldAxisX", axisX);
		jt.setNumber("worldAxisY", axisY);
		break;
	}
	default:
		jt.setNumber("destroyTimer", t.isNumber("destroyTimer") ? t.getNumber("destroyTimer") : 1.f);
		break;
	}
	if (type != TIMER_LINK)
		jt.setNumber("collideConnected", collideConnected ? 1.f : 0.f);

	std::unique_ptr<JointData> data(new JointData());
	data->name = name;
	data->joint = joint;
	data->type = type;
	data->end1 = r1;
	data->end2 = r2;
	data->coordType = coordType;
	m_joints.push_back(std::move(data));
	if (type != TIMER_LINK && !r1->projectile && !r2->projectile)
		r1->jointed = r2->jointed = true;
	jointsTable().setTable(name, jt);

	// Objects that act on each other learn the other's name.
	lua::LuaTable world = worldTable();
	if (!world.isTable(end1) || !world.isTable(end2))
		return;
	lua::LuaTable w1 = world.getTable(end1), w2 = world.getTable(end2);
	if (!w1.isNil("sensorType") || !w2.isNil("sensorType"))
	{
		w1.setString("linkedObject", end2);
		w2.setString("linkedObject", end1);
		lang::Debug::printf("LINKING bodies\n");
	}
	const lua::LuaTable blocks = m_blockTable.isTable("blocks") ? m_blockTable.getTable("blocks") : lua::LuaTable();
	const std::pair<std::string, std::string> ends[2] = {{end1, end2}, {end2, end1}};
	for (const auto& e : ends)
	{
		lua::LuaTable we = world.getTable(e.first), wo = world.getTable(e.second);
		if (we.isNil("levelGoal"))
			continue;
		const std::string definition = wo.getString("definition");
		const bool bubble = blocks.hasTable() && !definition.empty() && blocks.isTable(definition) &&
			blocks.getTable(definition).getString("material") == "bubble";
		if (bubble)
		{
			we.setString("linkedBubble", e.second);
			if (!wo.isTable("linkedTargets"))
				wo.setTable("linkedTargets", lua::LuaTable(getState()));
			lua::LuaTable targets = wo.getTable("linkedTargets");
			int n = 1;
			while (!targets.isNil(n))
				++n;
			targets.setString(n, e.first);
		}
		else
			we.setString("linkedObject", e.second);
	}
}

b2Joint* GameLua::findJoint(const std::string& name) const
{
	for (const auto& entry : m_joints)
	{
		if (entry->name == name && entry->type != TIMER_LINK && entry->joint)
			return entry->joint;
	}
	return nullptr;
}

int GameLua::setJointParametersLua(lua::LuaState* state)
{
	touchWorld();
	const lua::LuaTable t = descriptionArgument(state, "setJointParameters");
	const std::string name = t.getString("name");
	b2Joint* joint = findJoint(name);
	if (!joint)
		scriptError("Joint not found", name);
	lua::LuaTable joints = jointsTable();
	lua::LuaTable kept = joints.isTable(name) ? joints.getTable(name) : lua::LuaTable(getState());

	if (joint->GetType() == e_distanceJoint)
	{
		const float frequency = number(t, "frequency", kept.isNumber("frequency") ? kept.getNumber("frequency") : 4.f, name);
		const float ratio = number(t, "dampingRatio", kept.isNumber("dampingRatio") ? kept.getNumber("dampingRatio") : 0.5f, name);
		if (t.isNumber("frequency"))
			kept.setNumber("frequency", frequency);
		if (t.isNumber("dampingRatio"))
			kept.setNumber("dampingRatio", ratio);
		setSpring(static_cast<b2DistanceJoint*>(joint), frequency, ratio);
		return 0;
	}
	const bool revolute = joint->GetType() == e_revoluteJoint;
	if (!revolute && joint->GetType() != e_prismaticJoint)
		return 0;
	b2RevoluteJoint* hinge = revolute ? static_cast<b2RevoluteJoint*>(joint) : nullptr;
	b2PrismaticJoint* slider = revolute ? nullptr : static_cast<b2PrismaticJoint*>(joint);

	// Everything is checked before anything changes; the two limits are one pair.
	const float currentLower = revolute ? hinge->GetLowerLimit() : slider->GetLowerLimit();
	const float currentUpper = revolute ? hinge->GetUpperLimit() : slider->GetUpperLimit();
	const float lower = number(t, "lowerLimit", currentLower, name);
	const float upper = number(t, "upperLimit", currentUpper, name);
	const bool limitsGiven = t.isNumber("lowerLimit") || t.isNumber("upperLimit");
	if (limitsGiven && lower > upper)
		scriptError("The joint's lower limit is above its upper limit", name);
	const float speed = number(t, "motorSpeed", 0.f, name);
	const float maxTorque = number(t, "maxTorque", 0.f, name);

	if (t.isBoolean("motor"))
	{
		const bool on = t.getBoolean("motor");
		revolute ? hinge->EnableMotor(on) : slider->EnableMotor(on);
		kept.setBoolean("motor", on);
	}
	if (t.isNumber("motorSpeed"))
	{
		revolute ? hinge->SetMotorSpeed(speed) : slider->SetMotorSpeed(speed);
		kept.setNumber("motorSpeed", speed);
	}
	if (t.isNumber("maxTorque"))
	{
		revolute ? hinge->SetMaxMotorTorque(maxTorque) : slider->SetMaxMotorForce(maxTorque);
		kept.setNumber("maxTorque", maxTorque);
	}
	if (t.isBoolean("limit"))
	{
		const bool on = t.getBoolean("limit");
		revolute ? hinge->EnableLimit(on) : slider->EnableLimit(on);
		kept.setBoolean("limit", on);
	}
	if (limitsGiven)
	{
		revolute ? hinge->SetLimits(lower, upper) : slider->SetLimits(lower, upper);
		if (t.isNumber("lowerLimit"))
			kept.setNumber("lowerLimit", lower);
		if (t.isNumber("upperLimit"))
			kept.setNumber("upperLimit", upper);
	}
	return 0;
}

void GameLua::setRevoluteJointSpeed(const std::string& name, float speed)
{
	finite(speed, "motor speed", name);
	for (const auto& entry : m_joints)
	{
		if (entry->name == name && entry->joint && entry->joint->GetType() != e_revoluteJoint)
			scriptError("The joint is not revolute", name);
	}
	for (const auto& entry : m_joints)
	{
		if (entry->name == name && entry->joint)
			static_cast<b2RevoluteJoint*>(entry->joint)->SetMotorSpeed(speed);
	}
}

void GameLua::checkJointLimits(const std::string& name)
{
	for (const auto& entry : m_joints)
	{
		if (entry->name != name || !entry->joint)
			continue;
		if (entry->joint->GetType() == e_revoluteJoint)
		{
			b2RevoluteJoint* j = static_cast<b2RevoluteJoint*>(entry->joint);
			const float speed = j->GetMotorSpeed();
			const float angle = j->GetJointAngle();
			if (j->IsLimitEnabled() && j->IsMotorEnabled() &&
				((speed > 0.f && angle >= j->GetUpperLimit()) || (speed < 0.f && angle <= j->GetLowerLimit())))
				j->SetMotorSpeed(-speed);
		}
		else if (entry->joint->GetType() == e_prismaticJoint)
		{
			b2PrismaticJoint* j = static_cast<b2PrismaticJoint*>(entry->joint);
			const float speed = j->GetMotorSpeed();
			const float translation = j->GetJointTranslation();
			if ((j->IsLimitEnabled() && j->IsMotorEnabled() && speed > 0.f && translation >= j->GetUpperLimit()) ||
				(speed < 0.f && translation <= j->GetLowerLimit()))
				j->SetMotorSpeed(-speed);
		}
	}
}

void GameLua::destroyJoint(const std::string& name)
{
	checkUnlocked(name);
	for (const bool link : {false, true})
	{
		for (size_t i = 0; i < m_joints.size(); ++i)
		{
			JointData& entry = *m_joints[i];
			if (entry.name != name || (entry.type == TIMER_LINK) != link)
				continue;
			jointsTable().remove(name);
			if (entry.joint)
				m_world->DestroyJoint(entry.joint);
			m_joints.erase(m_joints.begin() + static_cast<std::ptrdiff_t>(i));
			return;
		}
	}
}

void GameLua::removeJointsFromObject(const std::string& name)
{
	checkUnlocked(name);
	RenderObjectData* record = findObject(name);
	if (record)
		dropJointsAt(record, true);
}

void GameLua::dropJointsAt(RenderObjectData* record, bool destroyJoints)
{
	lua::LuaTable joints = jointsTable();
	// Links first: the other end starts its removal timer.
	for (size_t i = 0; i < m_joints.size();)
	{
		JointData& entry = *m_joints[i];
		if (entry.type != TIMER_LINK || (entry.end1 != record && entry.end2 != record))
		{
			++i;
			continue;
		}
		RenderObjectData* other = entry.end1 == record ? entry.end2 : entry.end1;
		if (other && other != record && findObject(other->name) == other)
		{
			other->removalTimerEnabled = true;
			other->removalTimer = joints.isTable(entry.name) ? joints.getTable(entry.name).getNumber("destroyTimer") : 0.f;
		}
		joints.remove(entry.name);
		m_joints.erase(m_joints.begin() + static_cast<std::ptrdiff_t>(i));
	}
	for (size_t i = 0; i < m_joints.size();)
	{
		JointData& entry = *m_joints[i];
		if (entry.end1 != record && entry.end2 != record)
		{
			++i;
			continue;
		}
		if (destroyJoints && entry.joint)
			m_world->DestroyJoint(entry.joint);
		joints.remove(entry.name);
		m_joints.erase(m_joints.begin() + static_cast<std::ptrdiff_t>(i));
	}
}

void GameLua::removeBreakableJointsFromObject(const std::string& name, float force)
{
	RenderObjectData* record = findObject(name);
	if (!record || m_joints.empty())
		return;
	lua::LuaTable joints = jointsTable();
	for (size_t i = 0; i < m_joints.size();)
	{
		JointData& entry = *m_joints[i];
		bool breaks = false;
		if (entry.type != TIMER_LINK && (entry.end1 == record || entry.end2 == record) && joints.isTable(entry.name))
		{
			const lua::LuaTable jt = joints.getTable(entry.name);
			breaks = jt.isBoolean("breakable") && jt.getBoolean("breakable") && jt.isNumber("breakForce") &&
				jt.getNumber("breakForce") < force;
		}
		if (!breaks)
		{
			++i;
			continue;
		}
		joints.remove(entry.name);
		m_jointRemovalQueue.push_back(std::move(m_joints[i]));
		m_joints.erase(m_joints.begin() + static_cast<std::ptrdiff_t>(i));
	}
}
