-- Demo game logic: runs with the game table as its globals; the standard
-- library is reached through _G.
local print = _G.print
local math = _G.math
local type = _G.type
local tostring = _G.tostring
local pairs = _G.pairs
local ipairs = _G.ipairs
local string = _G.string
local table = _G.table

worldAttributes = {
	defaultGravityForceMultiplier = 4,
	simulationIterations = 30,
	simulationTimeStepMultiplier = 1,
	simulationStorePointsSampler = 2,
	simulationAimSpawnTime = 0.1,
	simulationAimSpeed = 1,
}

themes = {
	dusk = {sky = {64, 96, 160}},
	dawn = {sky = {230, 150, 90}},
}

demo = {time = 0, score = 0, level = "level1"}
physicsDemo = {time = 0, nextReport = 0.5, settled = false, launches = {}}
-- Contacts, joints and fields: what was reported once, and when the windmill stops.
contactDemo = {breakable = {}, broken = {}, inField = {}, windmillStops = 12, finished = false}
deadBlocks = {}
scoreTable = {blocks = {score = 0}}

-- Names this player in the analytics reports.
customerString = "demo-player"

local function loadDemoLevel(name)
	loadLevel(levelPath .. "/" .. name)
	if type(loadedObjects) == "table" and loadedObjects.filename == name .. ".lua" then
		local theme = themes[loadedObjects.theme] or themes.dusk
		setBGColor(theme.sky[1], theme.sky[2], theme.sky[3])
		print("demo: level " .. name .. " loaded")
	end
end

function updateValues()
	if type(settings) == "table" then
		settings.starts = (settings.starts or 0) + 1
		print("demo: start " .. tostring(settings.starts))
	end
end

function onLoadLuaFileFail(name)
	print("demo: file failed " .. tostring(name))
end

-- The leaderboard service: the best score is posted once signed in, the first achievement unlocked once known.
function enableGameCenter()
	local best = 0
	if type(highscores) == "table" and type(highscores[demo.level]) == "number" then
		best = highscores[demo.level]
	end
	print("demo: signed in as " .. tostring(gameCenter.localPlayerAlias) .. ", posting " .. tostring(best))
	postHighscore("demo.best", best)
end
function disableGameCenter() print("demo: leaderboards off") end
function hideLoadingInitGameCenter() end
function hideLoadingLeaderboards() end
function hideLoadingAchievements() end
function gameCenterAchievementsLoaded() unlockAchievement("demo.first", "") end
function achievementRegisteredCallback(id) print("demo: achievement " .. tostring(id)) end
function setIndicatorPositions() end

-- Optional web checks of the main menu, against a server named by DEMO_SERVER.
local server = _G.os and _G.os.getenv("DEMO_SERVER")
local adShown = false
function nativecallback_urlResponse(url, reply)
	print("demo: " .. url .. " answered " .. tostring(reply))
end

local function showMainMenu()
	if server and server ~= "" then
		native_startURLThread(server .. "/check.txt")
		checkMainMenuAd(server .. "/ad.json")
	end
end

-- The game's damage rules read these per material.
local function defineBlocks()
	blockTable.damageFactors = {
		heavyShot = {damageMultiplier = {wood = 2, glass = 3}, velocityMultiplier = {wood = 0.8, glass = 0.9}},
		crate = {damageMultiplier = {wood = 1, glass = 2}},
	}
	blockTable.blocks.BLOCK_PROJECTILE = {damage = 0, specialty = "NONE"}
	blockTable.blocks.BLOCK_WOOD_CRATE = {damage = 0, material = "wood"}
	blockTable.blocks.BLOCK_TARGET = {damage = 0, material = "glass"}
	worldAttributes.scoreDamageMultiplier = 10
end

-- Copies the level's damage attributes into the object's script table.
local function describe(name, o)
	local w = objects.world[name]
	w.definition = o.definition
	for _, key in ipairs({"material", "strength", "defence", "damageFactors"}) do
		if o[key] ~= nil then w[key] = o[key] end
	end
	if o.stopsInKillingVolume then setObjectParameter(name, 34, 1) end
end

-- Builds the loaded level's objects by their shape; returns how many were made.
local function buildLevel(level)
	local names = {}
	for name in pairs(level.world or {}) do table.insert(names, name) end
	table.sort(names)
	local count = 0
	for _, name in ipairs(names) do
		local o = level.world[name]
		if o.shape == "box" then
			createBox(name, "", o.x, o.y, o.width, o.height, o.density, 0.6, 0.1, true, false, 1)
			describe(name, o)
			count = count + 1
		elseif o.shape == "field" then
			createBox(name, "", o.x, o.y, o.width, o.height, 0, 0, 0, true, false, 1)
			setAsSensor(name, true)
			setObjectParameter(name, 21, 2)
			setObjectParameter(name, 27, o.radius)
			setSensorMinimumAndMaximumForces(name, o.minForce, o.maxForce)
			count = count + 1
		elseif o.shape == "killzone" then
			createBox(name, "", o.x, o.y, o.width, o.height, 0, 0, 0, true, false, 1)
			setAsSensor(name, true)
			setObjectParameter(name, 19, 1)
			count = count + 1
		elseif o.shape == "circle" then
			createCircle(name, "", o.x, o.y, o.radius, o.density, 0.6, 0.2, true, false, 2)
			describe(name, o)
			count = count + 1
		elseif o.shape == "line" then
			clearVertices()
			for _, p in ipairs(o.points) do addVertex(p[1], p[2]) end
			createLineShape(name, "", o.x, o.y, 0, 0, o.density, 0.6, 0, true, false, 0)
			count = count + 1
		elseif o.shape == "compound" then
			local outline = {}
			for _, p in ipairs(o.outline) do table.insert(outline, {x = p[1], y = p[2]}) end
			createCompoundBodyFromTable({name = name, x = o.x, y = o.y, angle = o.angle,
				material = {density = o.density, friction = 0.6, restitution = 0.1},
				children = {{x = 0, y = 0, angle = 0, definition = o.definition,
					blockData = {sprite = "", type = "polygon", worldVertices = outline}}}})
			count = count + 1
		elseif o.shape == "tower" then
			for row = 0, o.rows - 1 do
				for column = 0, o.columns - 1 do
					createBox(name .. "_" .. row .. "_" .. column, "", o.x + column * 1.02, o.y - row, 1, 1,
						o.density, 0.6, 0, true, false, 1)
					describe(name .. "_" .. row .. "_" .. column, o)
					count = count + 1
				end
			end
		elseif o.shape == "projectile" then
			createCircle(name, "", o.x, o.y, o.radius, o.density, 0.6, 0.2, true, true, 3)
			describe(name, o)
			table.insert(physicsDemo.launches, {name = name, at = o.launchAt, velocity = o.velocity})
			count = count + 1
		end
	end
	if type(level.joints) == "table" then
		createJoints(level.joints)
		for _, j in ipairs(level.joints) do
			if j.breakable then table.insert(contactDemo.breakable, j.name) end
		end
	end
	return count
end

function createStartUpAssets()
	loadDemoLevel(demo.level)
	showMainMenu()
	if type(loadedObjects) == "table" and type(loadedObjects.world) == "table" then
		defineBlocks()
		setWorldGravity(0, loadedObjects.worldGravity or 10)
		setLevelLimits(-60, -40, 60, 40)
		print("physics: level built, " .. buildLevel(loadedObjects) .. " objects")
		setPhysicsEnabled(true)
	end
end

local function physicsReport(scaledDt)
	local p = physicsDemo
	p.time = p.time + scaledDt
	for _, launch in ipairs(p.launches) do
		if not launch.done and p.time >= launch.at then
			launch.done = true
			setActive(launch.name, true)
			setVelocity(launch.name, launch.velocity[1], launch.velocity[2])
			print("physics: launch " .. launch.name)
		end
	end
	if p.time >= p.nextReport then
		p.nextReport = p.nextReport + 0.5
		local shot = objects.world and objects.world.shot
		print(string.format("physics: t=%.1f awake=%s moving=%s stepms=%.3f projectile=%.2f,%.2f", p.time,
			tostring(hasAwakeObjects), tostring(hasMovingObjects), g_physicsUpdateMillis or 0,
			shot and shot.x or 0, shot and shot.y or 0))
	end
	if not p.settled and p.time > 1 and hasAwakeObjects == false then
		p.settled = true
		print(string.format("physics: settled at t=%.1f", p.time))
	end
end

-- Joint motors, broken joints, fields entered and, at the end, two world queries.
local function contactReport()
	local c = contactDemo
	if objects.joints and objects.joints.windmill then
		if physicsDemo.time >= c.windmillStops then
			setJointParameters({name = "windmill", motor = false})
		else
			checkJointLimits("windmill")
		end
	end
	for _, name in ipairs(c.breakable) do
		if not c.broken[name] and objects.joints[name] == nil then
			c.broken[name] = true
			print("physics: joint broken " .. name)
		end
	end
	for name, w in pairs(objects.world or {}) do
		if w.insideGravity and not c.inField[name] then
			c.inField[name] = true
			print("physics: in field " .. name)
		end
	end
	if not c.finished and (physicsDemo.settled or physicsDemo.time >= 29) then
		c.finished = true
		local found = getIntersectingObjects({x = 16, y = 27, left = -2, right = 2, down = -2.5, up = 2.5})
		print("physics: query " .. #found)
		local launcher = objects.world.launcher
		local hits = getRayCastedObjects({x1 = launcher.x + 1.5, y1 = 27.5, x2 = 57, y2 = 27.5})
		print("physics: ray " .. (#hits / 6))
	end
end

function update(scaledDt, dt)
	demo.time = demo.time + dt
	demo.score = math.floor(demo.time * 10)
	-- While the button is held the sky follows the cursor.
	if keyHold.LBUTTON and cursor.x and screenWidth > 0 and screenHeight > 0 then
		setBGColor(255 * cursor.x / screenWidth, 255 * cursor.y / screenHeight, 128)
	end
	if keyPressed.KEY_BACK then
		requestExit()
	end
	if isPhysicsEnabled() then
		physicsReport(scaledDt)
		contactReport()
	end
end

function draw()
	if mainMenuAdReadyToBeShown and not adShown then
		adShown = true
		print("demo: showing MAIN_MENU_AD_IMAGE for " .. tostring(mainMenuAdUrl))
	end
end

function gameResumed()
	print("demo: resumed")
end

function gamePaused()
	print("demo: paused")
	if type(highscores) == "table" then
		local best = highscores[demo.level] or 0
		if demo.score > best then
			highscores[demo.level] = demo.score
		end
	end
end

function resolutionChanged()
end

-- Physics step hooks and collisions.
function applyForcesAtPhysicsStep() end
function removeBlocks()
	local names = {}
	for name in pairs(deadBlocks) do table.insert(names, name) end
	table.sort(names)
	for _, name in ipairs(names) do
		deadBlocks[name] = nil
		print("physics: destroyed " .. name)
		removeObject(name)
	end
end
function clearLuaForceFunctions() end
function selectObjectAnimation(name, speed, direction, scaledDt) end
function enterCollision(a, b) print("physics: enter " .. a .. " " .. b) end
function exitCollision(a, b)
	print("physics: exit " .. a .. " " .. b)
	if a == "killzone" or b == "killzone" then
		print("physics: killed " .. (a == "killzone" and b or a))
	end
end
function projectileCollision(p, t, impact, damage)
	print(string.format("physics: hit %s %s impact=%.2f damage=%d", p, t, impact, damage))
end
-- Blocks resting on each other touch with no impact: only real hits are printed.
function blockCollision(a, b, impact, notBlocked, unused, damage)
	if impact >= 1 then
		print(string.format("physics: block %s %s impact=%.2f damage=%d", a, b, impact, damage))
	end
end

-- Platform replies.
function inAppPurchasingBecameAvailable() end
function purchaseFinished(...) end
function setInstalledApps(...) end
function setInstalledAppsOffline(...) end
function notificationReceived(...) end
