-- Demo game logic: runs with the game table as its globals; the standard
-- library is reached through _G.
local print = _G.print
local math = _G.math
local type = _G.type
local tostring = _G.tostring
local res = _G.res
local pairs = _G.pairs
local ipairs = _G.ipairs
local string = _G.string
local table = _G.table

worldAttributes = {
	defaultGravityForceMultiplier = 4,
	simulationIterations = 40,
	simulationTimeStepMultiplier = 1,
	simulationStorePointsSampler = 2,
	simulationAimSpawnTime = 0.4,
	simulationAimSpeed = 2.5,
}

themes = {
	dusk = {sky = {64, 96, 160},
		-- The scene's theme: sky and hills behind with parallax, the ground in front.
		skyColor = {r = 150, g = 190, b = 230}, groundColor = {r = 110, g = 80, b = 40},
		bgLayers = {
			{sprite = "level_sky", bLoop = false, scale = 4, scaleSpeed = 0, posX = 128, posY = -48},
			{sprite = "level_hill", scale = 1.5, zDistance = 0.3, scaleSpeed = 0, posY = 384},
		},
		fgLayers = {{"ground", "level_ground_tile", 1, 1, 0}},
	},
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

-- The help page, where web views exist (a display): the page calls back, then hides itself.
-- It opens from the HUD's help button or the menu key, or at start with DEMO_HELP=1.
function openHelpPage()
	local WebView = _G.WebView
	if not WebView then
		return
	end
	if services.helpPage then
		services.helpPage:show()
		return
	end
	_G.Demo = _G.Demo or {}
	_G.Demo.Web = {ready = function(name)
		print("demo: web call ready " .. tostring(name))
		-- DEMO_HELP=exit ends the demo once the page called back (for tests).
		if _G.os and _G.os.getenv("DEMO_HELP") == "exit" then requestExit() end
	end}
	local view = WebView.new(0, 0, screenWidth, screenHeight)
	if not view then return end
	view:setOnPageLoadedCallback(function(v, ok, title) print("demo: web page loaded " .. tostring(title)) end)
	view:loadLocalPage("data_iphone/web/help.html")
	view:show()
	view:allowCallsFromJavaScript("Demo.Web")
	services.helpPage = view
end

local function startServices()
	services.started = true
	local help = _G.os and _G.os.getenv("DEMO_HELP")
	if help and help ~= "" and help ~= "0" then
		openHelpPage()
	end
	iapRestoreItems("onStore")
	setNotificationCallback("onNotification")
	addNotificationAfter("demo-welcome", 0, "Welcome back")
	if playVideo("intro.ogv") then
		print("demo: video started")
	end
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
local checkAnswered = false
-- With DEMO_EXIT_AFTER_AD=1 the demo ends once both web checks came back (for tests and tools).
local exitAfterAd = _G.os and _G.os.getenv("DEMO_EXIT_AFTER_AD") == "1"
local function exitWhenChecksDone()
	if exitAfterAd and adShown and checkAnswered then
		requestExit()
	end
end
function nativecallback_urlResponse(url, reply)
	print("demo: " .. url .. " answered " .. tostring(reply))
	checkAnswered = true
	exitWhenChecksDone()
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

-- Scene: the theme, the camera and the sprites of the level's objects.
local scene = {fgZ = 100, left = -880, top = -281, scale = 0.65}
screen = {x = 0, y = 0}

local function dressLevel(level)
	_G.res.createSpriteSheet(imagePath .. "/level.sheet")
	setTheme(level.theme or "dusk")
	-- Theme sprites and the aiming stream's points are physics units, drawn at 20 pixels each.
	setPhysicsSimulationScale(20)
	createThemeSprite("cloud1", "level_cloud", 40, 2.5, 0.3, 0.3, 0, 0, 0, false, 0.6, 0)
	createThemeSprite("cloud2", "level_cloud", 30, 4.5, 0.4, 0.4, 0, 0, 0, true, 0.4, 0)
	local sprites = {BLOCK_WOOD_CRATE = "level_crate", BLOCK_TARGET = "level_target_small",
		BLOCK_PROJECTILE = "level_shot", BLOCK_LAUNCHER = "level_post"}
	for name, o in pairs(level.world) do
		if o.shape == "tower" then
			for row = 0, o.rows - 1 do
				for column = 0, o.columns - 1 do
					setSprite(name .. "_" .. row .. "_" .. column, "level_crate")
				end
			end
		elseif sprites[o.definition] and objects.world[name] then
			setSprite(name, sprites[o.definition])
		end
	end
	setWorldScale(scene.scale)
	setTopLeft(scene.left, scene.top)
end

-- Where the camera stands: left, top (world pixels) and scale.
local view = {left = scene.left, top = scene.top, scale = scene.scale}

local function drawLevelScene()
	if demo.mode == "play" then
		playCamera()
		setWorldScale(view.scale)
	else
		-- The camera pans slowly; the hills follow it at their own depth.
		view.left = scene.left + 40 * math.sin(demo.time * 0.5)
	end
	screen.x = view.left
	setTopLeft(view.left, view.top)
	drawBackgroundNative(-1)
	drawGameNative(scene.fgZ)
end

local function buildDemoLevel()
	if type(loadedObjects) == "table" and type(loadedObjects.world) == "table" then
		defineBlocks()
		setWorldGravity(0, loadedObjects.worldGravity or 10)
		setLevelLimits(-60, -40, 60, 40)
		print("physics: level built, " .. buildLevel(loadedObjects) .. " objects")
		local dressed, dressErr = _G.pcall(dressLevel, loadedObjects)
		scene.ready = dressed
		if not dressed then print("demo: no scene: " .. tostring(dressErr)) end
		aimingDemoStart()
		setPhysicsEnabled(true)
	end
end

local function startLevel()
	loadDemoLevel(demo.level)
	showMainMenu()
	buildDemoLevel()
end

local function physicsReport(scaledDt)
	local p = physicsDemo
	p.time = p.time + scaledDt
	for _, launch in ipairs(p.launches) do
		if demo.mode ~= "play" and not launch.done and p.time >= launch.at then
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

-- Textured blocks: the tower's crates are cut from their crate sprite and filled with a
-- material, drawn through one texture batch per material (wood and stone rows alternate).
local function textureTower(level)
	local tower = type(level) == "table" and type(level.world) == "table" and level.world.tower
	if not tower then return end
	res.createSpriteSheet(imagePath .. "/material_wood.sheet")
	res.createSpriteSheet(imagePath .. "/material_stone.sheet")
	for row = 0, tower.rows - 1 do
		for column = 0, tower.columns - 1 do
			setTexture(tower.name .. "_" .. row .. "_" .. column, row % 2 == 0 and "material_wood" or "material_stone")
		end
	end
end

function createStartUpAssets()
	startLevel()
	local textured, textureErr = _G.pcall(textureTower, loadedObjects)
	if not textured then
		print("demo: tower without textures: " .. tostring(textureErr))
	end
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
		particlesDemoStart()
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
	if not demo.mode then
		chooseDemoMode()
	end
	if not services.started then
		startServices()
	end
	demo.time = demo.time + dt
	-- One effect every half second, in turn.
	if math.floor(demo.time * 2) > math.floor(before * 2) and res.isAudioPlaying("music") then
		res.playAudio(effects[math.floor(demo.time * 2) % #effects + 1], 0.8, false, 1)
	end
	if demo.mode ~= "play" then
		demo.score = math.floor(demo.time * 10)
	end
	particlesDemoUpdate(dt)
	-- While the button is held (and holds no shot) the sky follows the cursor.
	if keyHold.LBUTTON and play.state ~= "aiming" and cursor.x and screenWidth > 0 and screenHeight > 0 then
		setBGColor(255 * cursor.x / screenWidth, 255 * cursor.y / screenHeight, 128)
	end
	if keyPressed.KEY_BACK then
		requestExit()
	end
	if isPhysicsEnabled() then
		physicsReport(scaledDt)
		contactReport()
		if demo.mode == "play" then
			playUpdate(scaledDt)
		else
			aimingDemoUpdate(scaledDt)
		end
	end
end

-- The level's heads-up display, drawn after the world: the score, a nine-slice panel with
-- the wrapped hint, and the launcher's band while the shot waits to be launched.
local hud = {tried = false, ok = false, frames = 0}
local hudPanel = {topLeft = "hud_panel_tl", topMiddle = "hud_panel_t", topRight = "hud_panel_tr", left = "hud_panel_l",
	center = "hud_panel_c", right = "hud_panel_r", bottomLeft = "hud_panel_bl", bottomMiddle = "hud_panel_b",
	bottomRight = "hud_panel_br"}

local function loadHud()
	res.createSpriteSheet(imagePath .. "/hud.sheet")
	res.createTextGroupSet(localizationPath .. "/TEXTS_HUD.lang")
	res.loadLocale("TEXTS_HUD", "ALL")
end

-- Level units to screen pixels through the scene's camera.
local function levelToScreen(x, y)
	return (x * 20 - view.left) * view.scale, (y * 20 - view.top) * view.scale
end

local function drawHudBand()
	local launcher = objects.world and objects.world.launcher
	local shot = objects.world and objects.world.shot
	local launch = physicsDemo.launches[1]
	if not launcher or not shot or not launch then
		return
	end
	local lx, ly = levelToScreen(launcher.x - 1.5, launcher.y - 2)
	local rx, ry = levelToScreen(launcher.x + 1.5, launcher.y - 2)
	if launch.done then
		-- Let go: the band hangs slack between the posts.
		drawRubberband(lx, ly, rx, ry, 6, "hud_band")
		return
	end
	-- While aiming it stretches over the frames (counted, so every run draws the same).
	local pull = math.min(1, hud.frames / 30)
	local sx, sy = levelToScreen(shot.x - 4 * pull, shot.y + 1.5 * pull)
	drawRubberband(lx, ly, sx, sy, 6, "hud_band")
	drawRubberband(rx, ry, sx, sy, 6, "hud_band")
end

local function drawHud()
	if not hud.tried then
		hud.tried = true
		hud.ok = _G.pcall(loadHud)
	end
	if not hud.ok then
		return
	end
	hud.frames = hud.frames + 1
	res.useLocale("en_EN")
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	drawUITextNative({visible = true, group = "TEXTS_BASIC", text = "SCORE", x = 0, y = 0, scaleX = 1, scaleY = 1}, 16, 12)
	drawUITextNative({visible = true, group = "", text = tostring(math.floor(scoreTable.blocks.score or 0)), x = 0, y = 0, scaleX = 1.5, scaleY = 1.5,
		floorCoordinates = true}, 16, 12 + res.getFontHeight())
	local pw, ph = 300, 118
	local px, py = screenWidth - 16, 12
	-- UI text leaves its scale and turn in the render state.
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	drawBoxNative(hudPanel, px, py, pw, ph, "RIGHT", "TOP")
	clipText("TEXTS_HUD", "HINT", pw - 28)
	local lineHeight = res.getFontHeight()
	for i, line in ipairs(clippedText.lines) do
		drawUITextNative({visible = true, group = "", text = line, x = 0, y = 0, scaleX = 1, scaleY = 1},
			px - pw + 14, py + 10 + (i - 1) * lineHeight)
	end
	if demo.mode == "play" then
		playDrawHud()
	else
		drawHudBand()
	end
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
end

function draw()
	if mainMenuAdReadyToBeShown and not adShown then
		adShown = true
		local w, h = res.getSpriteBounds("MAIN_MENU_AD_IMAGE")
		print("demo: showing MAIN_MENU_AD_IMAGE " .. w .. "x" .. h .. " for " .. tostring(mainMenuAdUrl))
		exitWhenChecksDone()
	end
	-- The level once the title has been up for 60 frames (counted, so that a window's frame 30 equals a headless one).
	scene.frames = (scene.frames or 0) + 1
	if scene.ready and (not demo.title or scene.frames > 60) then
		drawLevelScene()
		if demo.title then
			drawHud()
		end
		return
	end
	if not demo.title then
		return
	end
	-- The start-up keeps one locale loaded; the title shows two.
	if not demo.allLocales then
		res.loadLocale("TEXTS_BASIC", "ALL")
		demo.allLocales = true
	end
	drawTitle()
	particlesDemoDrawTitle()
	if adShown then
		res.drawSprite("MAIN_MENU_AD_IMAGE", screenWidth - 8, 8, "TOP", "RIGHT")
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
		play.removed[name] = true
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
	if demo.mode == "play" then
		playHit(p, t, damage)
	end
	aimingDemoHit(p, t)
	print(string.format("physics: hit %s %s impact=%.2f damage=%d", p, t, impact, damage))
	if impact >= 1 then
		particlesDemoHit(t, impact)
	end
end
-- Blocks resting on each other touch with no impact: only real hits are printed.
function blockCollision(a, b, impact, notBlocked, unused, damage)
	if impact >= 1 then
		print(string.format("physics: block %s %s impact=%.2f damage=%d", a, b, impact, damage))
		particlesDemoHit(a, impact)
		particlesDemoHit(b, impact)
	end
end

-- Platform replies.
function inAppPurchasingBecameAvailable() end
function purchaseFinished(...) end
function setInstalledApps(...) end
function setInstalledAppsOffline(...) end
function notificationReceived(...) end

-- Particles: sparkles rise over the title's logo (the menu layer, in screen pixels), and
-- blocks hit hard enough throw dust and debris (in world pixels). The hits go to the
-- background layer, which the menu pass leaves out, so they never show on the title.
particleTable = { particles = {
	titleSparkle = { sprites = {"particle_spark1", "particle_spark2", "particle_spark3"}, animation = "lifeTime",
		lifeTime = 1.6, minVel = 20, maxVel = 60, minAngleEmitter = 240, maxAngleEmitter = 300,
		minScaleBegin = 1, maxScaleBegin = 1.6, minScaleEnd = 0.3, maxScaleEnd = 0.5, gravityY = -10 },
	blockDust = { sprites = {"particle_dust"}, background = true, lifeTime = 0.9, minVel = 10, maxVel = 40,
		minAngleEmitter = 180, maxAngleEmitter = 360, minScaleBegin = 0.6, maxScaleBegin = 1, minScaleEnd = 1.5,
		maxScaleEnd = 2.2, gravityY = -15 },
	blockDebris = { sprites = {"particle_debris1", "particle_debris2", "particle_debris3"}, background = true,
		lifeTime = 1.2,
		minVel = 60, maxVel = 160, minAngleEmitter = 200, maxAngleEmitter = 340, minAngle = 0, maxAngle = 360,
		minAngleVel = -8, maxAngleVel = 8, minScaleBegin = 1, maxScaleBegin = 1.4, minScaleEnd = 0.6,
		maxScaleEnd = 0.8, gravityY = 300 },
} }
-- Sparkles start once the title has been up for 40 frames: a window steps by the clock, so
-- only frames before any time-driven effect match the headless run frame for frame.
local sparkles = {ready = false, next = 0, frames = 0}

function particlesDemoStart()
	local ok, err = _G.pcall(res.createSpriteSheet, imagePath .. "/particles.sheet")
	if not ok then
		print("demo: no particle sprites: " .. tostring(err))
		return
	end
	enableInGameParticlesNative(true)
	setMenuParticlesScale(1)
	sparkles.ready = true
end

function particlesDemoUpdate(dt)
	if not sparkles.ready or not demo.title or sparkles.frames < 40 then
		return
	end
	-- Five bursts a second; the game's frame update moves them while physics runs.
	if demo.time >= sparkles.next then
		sparkles.next = demo.time + 0.2
		_G.particles.addParticles("titleSparkle", 3, screenWidth / 2, screenHeight * 0.22, 120, 40, 0)
	end
	if not isPhysicsEnabled() then
		updateMenuParticlesNative(dt)
	end
end

function particlesDemoDrawTitle()
	if sparkles.ready then
		sparkles.frames = sparkles.frames + 1
		drawMenuParticlesNative()
	end
end

-- A hit block throws dust and debris from its centre (physics units, 20 pixels each).
function particlesDemoHit(name, impact)
	local o = objects.world and objects.world[name]
	if sparkles.ready and o and o.x and o.y then
		local x, y = o.x * 20, o.y * 20
		_G.particles.addParticles("blockDust", 4, x, y, 30, 30, 0)
		_G.particles.addParticles("blockDebris", math.min(8, 2 + math.floor(impact)), x, y, 20, 20, 0)
	end
end

-- Aiming and trails. No touch arrives in a headless run, so the demo aims by itself: the
-- stream flows along the predicted path, then the shot flies and its trail stays, and a
-- second aim from the launcher follows while that trail is still on screen.
-- Aiming starts after 40 frames: a window steps by the clock, so only frames before any
-- time-driven drawing match the headless run frame for frame.
local aiming = {ready = false, frames = 0, phase = "aim", flight = 0, nextPoint = 0, puffed = false}

function aimingDemoStart()
	local ok, err = _G.pcall(res.createSpriteSheet, imagePath .. "/aim.sheet")
	if not ok then
		print("demo: no aiming sprites: " .. tostring(err))
		return
	end
	createCircle("ProjectileSimulation", "", 0, 0, 0.5, 3, 0, 0, false, false, 0)
	setActive("ProjectileSimulation", false)
	setVisible("ProjectileSimulation", false)
	setAimingAidSprite("aim_dot")
	aiming.ready = true
end

-- Predicts a throw from (x, y) and lets the stream flow along it.
local function aimAt(x, y, vx, vy)
	setPosition("ProjectileSimulation", x, y)
	setVelocity("ProjectileSimulation", vx, vy)
	ClearSimulationTrajectory()
	updateProjectileTrajectoryTable()
	-- The simulation body must not keep the world from settling.
	setSleeping("ProjectileSimulation", true)
	enableAimingAid(true)
end

function aimingDemoUpdate(scaledDt)
	local launch = physicsDemo.launches[1]
	local shot = launch and objects.world[launch.name]
	aiming.frames = aiming.frames + 1
	if not aiming.ready or not shot or aiming.frames < 40 then
		return
	end
	if not launch.done then
		-- The aim swings up to the launch velocity during the time before the throw.
		local k = math.min(1, physicsDemo.time / launch.at)
		aiming.fromX, aiming.fromY = shot.x, shot.y
		aimAt(shot.x, shot.y, launch.velocity[1], launch.velocity[2] * (0.4 + 0.6 * k))
		return
	end
	if aiming.phase == "aim" then
		-- Thrown: the stream runs out at its end and the trail begins. A slow window may have
		-- thrown before the first aim: the next aim then starts where the shot is now.
		aiming.fromX = aiming.fromX or shot.x
		aiming.fromY = aiming.fromY or shot.y
		clearAimingAid(0)
		enableAimingAid(false)
		startNewTrajectory()
		setNormalTrailSprite("trail_dot")
		setSpecialTrailSprite("trail_puff")
		aiming.phase = "flight"
	end
	if aiming.phase == "flight" then
		aiming.flight = aiming.flight + scaledDt
		if aiming.flight >= aiming.nextPoint then
			aiming.nextPoint = aiming.nextPoint + 0.05
			addToTrajectory(0, shot.x * 20, shot.y * 20)
		end
		if aiming.flight >= 2 then
			aiming.phase = "again"
		end
	else
		aimAt(aiming.fromX, aiming.fromY, launch.velocity[1] * 0.8, launch.velocity[2] * 1.3)
	end
end

-- The first hit of the flight leaves a puff on the trail.
function aimingDemoHit(projectile, target)
	local shot = objects.world[projectile]
	if aiming.phase == "flight" and not aiming.puffed and shot and target ~= "launcher" then
		aiming.puffed = true
		addPuffToTrajectory(0, shot.x * 20, shot.y * 20)
	end
end

-- Playing in a window: the player drags the loaded shot back from the launcher and lets go.
-- Headless runs, and runs with DEMO_TOUR=1, keep the self-playing tour above unchanged.
play = {shots = 3, grabRadius = 40, pullRadius = 4, deadZone = 0.75, speedFactor = 9, maxSpeed = 34,
	settleTime = 1.5, settleLimit = 5, targetBonus = 500,
	state = "wait", shotsLeft = 3, removed = {}, loaded = 0, flight = 0, nextPoint = 0, score = 0, ended = 0}
-- The launcher and the ground line keep their place on screen while the wheel zooms.
local playView = {anchorX = -800, anchorY = 580, screenX = 104, screenY = 560}

function chooseDemoMode()
	local tour = _G.os and _G.os.getenv("DEMO_TOUR")
	if g_mouseAvailable == true and not (tour and tour ~= "" and tour ~= "0") then
		demo.mode = "play"
	else
		demo.mode = "tour"
	end
end

function playCamera()
	local zoom = type(zoomLevel) == "number" and zoomLevel or 1
	view.scale = scene.scale * math.max(0.5, math.min(2, zoom))
	view.left = playView.anchorX - playView.screenX / view.scale
	view.top = playView.anchorY - playView.screenY / view.scale
end

local function levelShown()
	return scene.ready and (not demo.title or (scene.frames or 0) > 60)
end

local function bestScore()
	if type(highscores) == "table" and type(highscores[demo.level]) == "number" then
		return highscores[demo.level]
	end
	return 0
end

local function targetsLeft()
	local left = 0
	for name, o in pairs(loadedObjects.world) do
		if o.definition == "BLOCK_TARGET" and objects.world[name] and not play.removed[name] then
			left = left + 1
		end
	end
	return left
end

-- Puts a new shot on the launcher (the level's own shot first) and says where it is on screen.
local function loadShot()
	local level = loadedObjects.world.shot
	play.loaded = play.loaded + 1
	local name = play.loaded == 1 and "shot" or "shot_" .. play.loaded
	if not objects.world[name] then
		createCircle(name, "", level.x, level.y, level.radius, level.density, 0.6, 0.2, true, true, 3)
		describe(name, level)
		_G.pcall(setSprite, name, "level_shot")
	end
	play.shot = name
	play.restX, play.restY = level.x, level.y
	setPosition(name, level.x, level.y)
	play.state = "ready"
	playCamera()
	local x, y = levelToScreen(level.x, level.y)
	print(string.format("demo: shot ready at %d,%d", math.floor(x + 0.5), math.floor(y + 0.5)))
end

-- The pull from the rest point to the cursor, in level units, kept inside the launcher's radius
-- and above the ground and the launcher.
local function pull()
	local x = (cursor.x / view.scale + view.left) / 20 - play.restX
	local y = (cursor.y / view.scale + view.top) / 20 - play.restY
	local length = math.sqrt(x * x + y * y)
	if length > play.pullRadius then
		x, y = x * play.pullRadius / length, y * play.pullRadius / length
	end
	y = math.min(y, 2.5)
	if math.abs(x) < 1.5 then
		y = math.min(y, 0)
	end
	return x, y, math.sqrt(x * x + y * y)
end

local function launchVelocity(x, y)
	local vx, vy = -x * play.speedFactor, -y * play.speedFactor
	local speed = math.sqrt(vx * vx + vy * vy)
	if speed > play.maxSpeed then
		vx, vy = vx * play.maxSpeed / speed, vy * play.maxSpeed / speed
	end
	return vx, vy
end

local function stopAiming()
	clearAimingAid(0)
	enableAimingAid(false)
end

local function launch(vx, vy)
	stopAiming()
	setActive(play.shot, true)
	setVelocity(play.shot, vx, vy)
	print(string.format("demo: launch %.2f,%.2f", vx, vy))
	play.shotsLeft = play.shotsLeft - 1
	play.state = "flying"
	play.flight, play.nextPoint, play.puffed = 0, 0, false
	-- The trail of this shot replaces the one before last.
	startNewTrajectory()
	setNormalTrailSprite("trail_dot")
	setSpecialTrailSprite("trail_puff")
end

local function endLevel(won)
	play.state = won and "won" or "lost"
	play.ended = 0
	stopAiming()
	print(won and "demo: level won" or "demo: level lost")
	if play.score > 0 and play.score >= bestScore() and type(highscores) == "table" then
		highscores[demo.level] = play.score
		_G.pcall(postHighscore, "demo.best", play.score)
	end
end

local function updateScore()
	local score = math.floor(scoreTable.blocks.score or 0)
	if score ~= play.score then
		play.score = score
		demo.score = score
		print("demo: score " .. score)
		if type(highscores) == "table" and score > bestScore() then
			highscores[demo.level] = score
		end
	end
end

-- Builds the level again as at the first start: objects, joints, clocks and score.
function playRestart()
	stopAiming()
	deadBlocks = {}
	play.removed = {}
	scoreTable.blocks.score = 0
	physicsDemo.time, physicsDemo.nextReport, physicsDemo.settled, physicsDemo.launches = 0, 0.5, false, {}
	contactDemo.breakable, contactDemo.broken, contactDemo.inField, contactDemo.finished = {}, {}, {}, false
	loadDemoLevel(demo.level)
	-- Loading a level drops the bodies but not their script tables: spent shots would linger.
	for name in pairs(objects.world) do
		objects.world[name] = nil
	end
	buildDemoLevel()
	_G.pcall(textureTower, loadedObjects)
	setCollisionEnabled("launcher", false)
	play.shotsLeft, play.loaded = play.shots, 0
	updateScore()
	print("demo: level restarted")
	loadShot()
end

local function pressedOn(x, y, w, h)
	return keyPressed.LBUTTON and cursor.x and cursor.x >= x and cursor.x < x + w and cursor.y >= y and cursor.y < y + h
end

local helpButton = {size = 48, margin = 16}
local function helpButtonAt()
	return screenWidth - helpButton.margin - helpButton.size, screenHeight - helpButton.margin - helpButton.size
end

function playUpdate(scaledDt)
	if play.state == "wait" then
		if not levelShown() or not objects.world.shot then
			return
		end
		play.shotsLeft = play.shots
		-- The player's shot flies past the launcher's posts.
		setCollisionEnabled("launcher", false)
		loadShot()
	end
	updateScore()
	local bx, by = helpButtonAt()
	if keyPressed.KEY_MENU or pressedOn(bx, by, helpButton.size, helpButton.size) then
		openHelpPage()
		return
	end
	if play.state == "won" or play.state == "lost" then
		play.ended = play.ended + scaledDt
		if keyPressed.LBUTTON then
			playRestart()
		end
		return
	end
	if targetsLeft() == 0 then
		endLevel(true)
		return
	end
	local shot = objects.world[play.shot]
	if play.state == "ready" and keyPressed.LBUTTON and cursor.x and shot then
		local sx, sy = levelToScreen(shot.x, shot.y)
		if (cursor.x - sx) ^ 2 + (cursor.y - sy) ^ 2 <= play.grabRadius ^ 2 then
			play.state = "aiming"
		end
	end
	if play.state == "aiming" then
		local x, y, length = pull()
		local vx, vy = launchVelocity(x, y)
		setPosition(play.shot, play.restX + x, play.restY + y)
		if keyHold.LBUTTON then
			aimAt(play.restX + x, play.restY + y, vx, vy)
		elseif length < play.deadZone then
			-- Let go near the rest point: the shot goes back and waits.
			setPosition(play.shot, play.restX, play.restY)
			stopAiming()
			play.state = "ready"
		else
			launch(vx, vy)
		end
	elseif play.state == "flying" then
		play.flight = play.flight + scaledDt
		if shot and play.flight >= play.nextPoint and play.flight < 4 then
			play.nextPoint = play.nextPoint + 0.05
			addToTrajectory(0, shot.x * 20, shot.y * 20)
		end
		if (play.flight >= play.settleTime and hasMovingObjects == false) or play.flight >= play.settleLimit then
			if play.shotsLeft > 0 then
				loadShot()
			else
				endLevel(false)
			end
		end
	end
end

function playHit(projectile, target, damage)
	if projectile ~= play.shot or play.state ~= "flying" then
		return
	end
	local mult = math.floor(worldAttributes.scoreDamageMultiplier or 0)
	local score = scoreTable.blocks.score or 0
	if damage > 0 then
		score = score + damage * mult
	end
	local o = objects.world[target]
	if deadBlocks[target] and o and o.definition == "BLOCK_TARGET" then
		score = score + play.targetBonus
	end
	scoreTable.blocks.score = score
	local shot = objects.world[projectile]
	if not play.puffed and shot then
		play.puffed = true
		addPuffToTrajectory(0, shot.x * 20, shot.y * 20)
	end
end

local function text(value, x, y, scale)
	drawUITextNative({visible = true, group = "", text = value, x = 0, y = 0, scaleX = scale, scaleY = scale,
		floorCoordinates = true}, x, y)
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
end

function playDrawHud()
	local lineHeight = res.getFontHeight()
	text("Best " .. math.floor(bestScore()), 16, 12 + lineHeight * 2.6, 1)
	text("Shots " .. play.shotsLeft, 16, 12 + lineHeight * 3.6, 1)
	local bx, by = helpButtonAt()
	drawBoxNative(hudPanel, bx, by, helpButton.size, helpButton.size, "LEFT", "TOP")
	text("?", bx + helpButton.size / 2 - 6, by + helpButton.size / 2 - lineHeight / 2, 1.2)
	-- The band: from both posts to the shot while it waits or is pulled, slack once it flies.
	local launcher = objects.world.launcher
	local shot = objects.world[play.shot or ""]
	if launcher then
		local lx, ly = levelToScreen(launcher.x - 1.5, launcher.y - 2)
		local rx, ry = levelToScreen(launcher.x + 1.5, launcher.y - 2)
		if shot and (play.state == "ready" or play.state == "aiming") then
			local sx, sy = levelToScreen(shot.x, shot.y)
			drawRubberband(lx, ly, sx, sy, 6, "hud_band")
			drawRubberband(rx, ry, sx, sy, 6, "hud_band")
		else
			drawRubberband(lx, ly, rx, ry, 6, "hud_band")
		end
	end
	if play.state == "won" or play.state == "lost" then
		local pw, ph = 420, 150
		local px, py = (screenWidth - pw) / 2, (screenHeight - ph) / 2
		drawBoxNative(hudPanel, px, py, pw, ph, "LEFT", "TOP")
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
		drawUITextNative({visible = true, group = "TEXTS_BASIC", text = play.state == "won" and "LEVEL_CLEARED" or "TRY_AGAIN",
			x = 0, y = 0, scaleX = 1.5, scaleY = 1.5}, px + 24, py + 20)
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
		text("Score " .. play.score .. "   Best " .. math.floor(bestScore()), px + 24, py + 20 + lineHeight * 2, 1)
		text("Tap to play again", px + 24, py + 20 + lineHeight * 3.3, 1)
	end
end
