-- Demo game logic: runs with the game table as its globals; the standard
-- library is reached through _G.
local print = _G.print
local math = _G.math
local type = _G.type
local tostring = _G.tostring
local res = _G.res

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

local function loadTitle()
	res.createSpriteSheet(imagePath .. "/title.sheet")
	res.createCompoSpriteSet(imagePath .. "/logo.compo")
	res.createBitmapFont(fontPath .. "/FONT_BASIC_DEFAULT.font")
	res.createTextGroupSet(localizationPath .. "/TEXTS_BASIC.lang")
	res.loadLocale("TEXTS_BASIC", "ALL")
	res.useFont("FONT_BASIC_DEFAULT")
end

-- Music loops on track 0; effects go to track 1, where the engine lets 4 sound at once.
local function startSound()
	res.createAudioOutput(2, 16, 44100)
	res.createAudio(audioPath .. "/music.mp3", "music")
	for _, name in _G.ipairs({"pop", "hit", "break", "whoosh", "jingle1", "jingle2", "jingle3"}) do
		res.createAudio(audioPath .. "/" .. name .. ".wav", name, false)
	end
	res.createCompositeAudio("jingle", {"jingle1", "jingle2", "jingle3"})
	res.startAudioOutput()
	res.playAudio("music", 0.5, true, 0)
	res.playAudio("jingle", 1, false, 1)
end

function createStartUpAssets()
	loadDemoLevel(demo.level)
	local sound, soundErr = _G.pcall(startSound)
	if sound then
		print("demo: music playing " .. tostring(res.isAudioPlaying("music")))
	else
		print("demo: no sound: " .. tostring(soundErr))
	end
	-- A context that cannot make textures (the benchmarks' null GL) runs without the title screen.
	local ok, err = _G.pcall(loadTitle)
	if ok then
		demo.title = true
		print("demo: title " .. res.getString("TEXTS_BASIC", "TITLE"))
	else
		print("demo: no title screen: " .. tostring(err))
	end
end

-- The title screen: background, logo, two anchored buttons and the title in
-- English with its French line below.
local function drawTitle()
	local w, h = screenWidth, screenHeight
	local bw, bh = res.getSpriteBounds("title_background")
	res.drawSprite("title_background", 0, 0, "TOP", "LEFT", w, h)
	res.drawSprite("logo", w / 2, h * 0.22)
	res.useLocale("en_EN")
	res.drawString("TEXTS_BASIC", "TITLE", w / 2, h * 0.5, "BOTTOM", "HCENTER")
	res.useLocale("fr_FR")
	res.drawString("TEXTS_BASIC", "TITLE", w / 2, h * 0.5 + res.getFontHeight(), "BOTTOM", "HCENTER")
	res.useLocale("en_EN")
	local by = h - 24
	res.drawSprite("title_button", 24, by, "BOTTOM", "LEFT")
	res.drawSprite("title_button_frame", 24, by, "BOTTOM", "LEFT")
	res.drawString("TEXTS_BASIC", "PLAY", 104, by - 24, "VCENTER", "HCENTER")
	res.drawSprite("title_button", w - 24, by, "BOTTOM", "RIGHT")
	res.drawSprite("title_button_frame", w - 24, by, "BOTTOM", "RIGHT")
	res.drawString("TEXTS_BASIC", "SETTINGS", w - 104, by - 24, "VCENTER", "HCENTER")
	return bw, bh
end

local effects = {"pop", "hit", "break", "whoosh"}

function update(scaledDt, dt)
	local before = demo.time
	demo.time = demo.time + dt
	-- One effect every half second, in turn.
	if math.floor(demo.time * 2) > math.floor(before * 2) and res.isAudioPlaying("music") then
		res.playAudio(effects[math.floor(demo.time * 2) % #effects + 1], 0.8, false, 1)
	end
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
	if not demo.title then
		return
	end
	-- The start-up keeps one locale loaded; the title shows two.
	if not demo.allLocales then
		res.loadLocale("TEXTS_BASIC", "ALL")
		demo.allLocales = true
	end
	drawTitle()
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
