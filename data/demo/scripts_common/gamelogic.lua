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

-- The platform services: the store, a notification and the intro video.
local levelPack = "com.tarvel.Zephyra.levelpackrimward"
local services = {started = false, restored = false, listed = false}

function onStore(id, status, err)
	print("demo: store " .. id .. " " .. tostring(status) .. " " .. tostring(err))
	if id == levelPack and status == 3 then
		services.restored = true
	elseif id == "" and status == 1 and not services.listed then
		-- The restore has ended: list the items, then buy what was not restored.
		services.listed = true
		iapInitItemPurchase("onItems")
	end
end

function onItems(id, status, err)
	for i = 0, iapGetItemCount() - 1 do
		local item = iapGetItemAt(i)
		print("demo: item " .. item.id .. " " .. item.name .. " " .. item.price)
	end
	if not services.restored then
		iapBuyItem(levelPack, "onStore")
	end
end

function onNotification(name)
	print("demo: notification " .. tostring(name))
end

local function startServices()
	services.started = true
	iapRestoreItems("onStore")
	setNotificationCallback("onNotification")
	addNotificationAfter("demo-welcome", 0, "Welcome back")
	if playVideo("intro.ogv") then
		print("demo: video started")
	end
end

function createStartUpAssets()
	loadDemoLevel(demo.level)
end

function update(scaledDt, dt)
	if not services.started then
		startServices()
	end
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
function enableGameCenter() end
function disableGameCenter() end
function hideLoadingInitGameCenter() end
function hideLoadingLeaderboards() end
function hideLoadingAchievements() end
function gameCenterAchievementsLoaded() end
function achievementRegisteredCallback(...) end
function nativecallback_urlResponse(...) end
function setInstalledApps(...) end
function setInstalledAppsOffline(...) end
function notificationReceived(...) end
