-- The starter game: a tap (or a click) drops a box; boxes land on the floor and score on impact.
--
-- This script runs with the game table as its globals: the engine's operations (createBox,
-- drawGameNative, ...) are plain functions here, res holds the sprites, fonts and sounds, and
-- Lua's own library is reached through _G. The engine calls the functions defined below by
-- name; the first nine must be there, the others may go (the log then says so once).
local math, type, table = _G.math, _G.type, _G.table
local res = _G.res

-- print writes its text as it is: a line needs its "\n".
local function say(text)
	print("starter: " .. text .. "\n")
end

local PIXELS = 20 -- one physics unit is 20 pixels at world scale 1
local MAX_BOXES = 40 -- the oldest box goes when there are more

game = {score = 0, best = 0, boxes = 0, signedIn = false}
-- Read by loadLevel: the aiming aid's simulation (unused here) and the gravity fields' strength.
worldAttributes = {defaultGravityForceMultiplier = 4, simulationIterations = 40, simulationTimeStepMultiplier = 1,
	simulationStorePointsSampler = 2, simulationAimSpawnTime = 0.4, simulationAimSpeed = 2.5}
local level = nil
local dropped = {} -- box names, oldest first
local leaving = {} -- boxes to remove after the next physics step

local function dropBox(screenX)
	game.boxes = game.boxes + 1
	local name = "box" .. game.boxes
	-- name, sprite, x, y, width, height, density, friction, restitution, collides, projectile, z
	createBox(name, "box", screenX / PIXELS, level.dropHeight, 2, 2, 1, 0.6, 0.1, true, false, 2)
	table.insert(dropped, name)
	if #dropped > MAX_BOXES then
		table.insert(leaving, table.remove(dropped, 1))
	end
	say("dropped " .. name)
end

local function startLevel(name)
	loadLevel(levelPath .. "/" .. name)
	level = loadedObjects
	setBGColor(level.sky[1], level.sky[2], level.sky[3])
	setWorldGravity(0, level.worldGravity)
	for objectName, o in _G.pairs(level.world) do
		createBox(objectName, o.sprite, o.x, o.y, o.width, o.height, 0, 0.8, 0, true, false, 1)
	end
	setPhysicsEnabled(true)
	say("level " .. name .. " loaded")
	-- The first box falls by itself.
	dropBox(screenWidth / 2)
end

-- Called once, right after this script has run: read what was saved.
function updateValues()
	if type(highscores) == "table" and type(highscores.best) == "number" then
		game.best = highscores.best
	end
end

-- Called once at start, after updateValues: load the sprites, the font, the sound and the level.
function createStartUpAssets()
	res.createAudioOutput(2, 16, 44100)
	res.createAudio(audioPath .. "/drop.wav", "drop", false)
	res.createSpriteSheet(imagePath .. "/game.sheet")
	res.createSpriteSheet(imagePath .. "/hud.sheet")
	res.createBitmapFont(fontPath .. "/FONT_BASIC_DEFAULT.font")
	res.useFont("FONT_BASIC_DEFAULT")
	startLevel("level1")
end

-- Called when the game becomes active: at start and after every pause.
function gameResumed()
	say("resumed")
end

-- Called when the game goes inactive: on a pause and before it ends.
function gamePaused()
	say("paused, score " .. game.score)
	if game.signedIn then
		postHighscore("starter.best", game.best)
	end
end

-- Called every frame with the frame's time in seconds, scaled by setDeltaTimeMultiplier and as it was.
function update(scaledDt, dt)
	if keyPressed.LBUTTON and cursor.x then
		dropBox(cursor.x)
	end
	if keyPressed.KEY_BACK then
		requestExit()
	end
	if game.score > game.best then
		game.best = game.score
		-- highscores is saved when the game ends and read at the next start.
		highscores.best = game.best
	end
end

-- Called every frame after update: draw the world, then the score over it.
function draw()
	setTopLeft(0, 0)
	drawGameNative(100)
	res.drawSprite("panel", 8, 8, "TOP", "LEFT")
	local _, panelHeight = res.getSpriteBounds("panel")
	res.drawString("", "Score " .. game.score .. "   Best " .. game.best, 20, 8 + panelHeight / 2, "VCENTER", "LEFT")
end

-- Called before every physics step while physics runs: push objects here (applyImpulse, setVelocity).
function applyForcesAtPhysicsStep()
end

-- Called after every physics step: the place to remove objects, never inside a collision.
function removeBlocks()
	for _, name in _G.ipairs(leaving) do
		removeObject(name)
	end
	leaving = {}
end

-- Called every frame after its physics steps, while physics runs.
function clearLuaForceFunctions()
end

-- Called inside a physics step when two objects that are not projectiles hit each other.
function blockCollision(nameA, nameB, impact, notBlocked, unused, damage)
	if impact >= 1 then
		game.score = game.score + math.floor(impact)
		res.playAudio("drop", math.min(1, impact / 10), false, 1)
		say("impact " .. nameA .. " " .. nameB .. ", score " .. game.score)
	end
end

-- Called at start, once for each file that failed to load.
function onLoadLuaFileFail(fileName)
	-- A save file made for the first time comes as "File Created:highscores.lua": nothing failed.
	if not _G.string.find(fileName, "^File Created:") then
		say("not loaded: " .. fileName)
	end
end

-- Called when the player is signed in to the leaderboards (gamecenter-catalogue.json beside data_iphone/).
function enableGameCenter()
	game.signedIn = true
end

-- The functions below are called for features this game does not use yet.

-- Called when the screen size changes (screenWidth and screenHeight hold the new one).
function resolutionChanged() end
-- Called every frame for each object that chooses its own animation.
function selectObjectAnimation(name, speed, direction, scaledDt) end
-- Called inside a physics step when an object starts touching a sensor (setAsSensor).
function enterCollision(nameA, nameB) end
-- Called inside a physics step when an object stops touching a sensor.
function exitCollision(nameA, nameB) end
-- Called inside a physics step when a projectile (createBox with projectile true) hits an object.
function projectileCollision(projectile, target, impact, damage) end
-- Called when the store becomes available.
function inAppPurchasingBecameAvailable() end
-- Called when the leaderboards become unavailable.
function disableGameCenter() game.signedIn = false end
-- Called when signing in to the leaderboards failed.
function hideLoadingInitGameCenter() end
-- Called when the achievements' descriptions have been read.
function gameCenterAchievementsLoaded() end
-- Called when an achievement has been unlocked.
function achievementRegisteredCallback(id) end
-- Called when leaderboard scores arrived and gameCenter.safeToRefresh is true.
function setIndicatorPositions() end
-- Called when the leaderboard view closes.
function hideLoadingLeaderboards() end
-- Called when the achievement view closes.
function hideLoadingAchievements() end
-- Called when a URL check started by native_startURLThread answers.
function nativecallback_urlResponse(url, reply) end
-- Called when the installed-games check online answers.
function setInstalledApps(list, code, reply) end
-- Called when checkInstalledAppsOffline has read its list.
function setInstalledAppsOffline(list) end
