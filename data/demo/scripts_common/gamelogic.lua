-- Demo game logic: runs with the game table as its globals; the standard
-- library is reached through _G.
local print = _G.print
local math = _G.math
local type = _G.type
local tostring = _G.tostring

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

function createStartUpAssets()
	loadDemoLevel(demo.level)
	showMainMenu()
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
function removeBlocks() end
function clearLuaForceFunctions() end
function selectObjectAnimation(name, speed, direction, scaledDt) end
function enterCollision(...) end
function exitCollision(...) end
function projectileCollision(...) end
function blockCollision(...) end

-- Platform replies.
function inAppPurchasingBecameAvailable() end
function purchaseFinished(...) end
function setInstalledApps(...) end
function setInstalledAppsOffline(...) end
function notificationReceived(...) end
