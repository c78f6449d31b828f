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
	-- Every prediction is 240 steps long, whatever time it covers (see aimAt); every second step
	-- is a point of the stream.
	simulationIterations = 240,
	simulationTimeStepMultiplier = 1,
	simulationStorePointsSampler = 2,
	simulationAimSpawnTime = 0.25,
	simulationAimSpeed = 30,
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

-- The "physics:" lines are the tour's (headless, or DEMO_TOUR=1); a player sees them with
-- DEMO_PHYSICS=1. Lines from before the mode is known wait for it.
local physicsLog = {pending = {}}
local function physicsLine(text)
	if not demo.mode then
		table.insert(physicsLog.pending, text)
	elseif physicsLog.on then
		print(text)
	end
end

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

-- A first start makes the save files: the engine reports them as "File Created:NAME".
function onLoadLuaFileFail(name)
	local created = string.match(tostring(name), "^File Created:(.*)$")
	if created then
		print("demo: file created " .. created)
	else
		print("demo: file failed " .. tostring(name))
	end
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

-- The help page, where web views exist (a display). It is made hidden at start: making the
-- first page starts the web engine, which takes a while, so opening it later only shows it.
-- It lies over the middle of the window while the game goes on around it, until its close
-- link, the help button, the menu key or the back key closes it. A window of a new size gets
-- a page of its own size once the size has held for a moment.
local help = {open = false}

local function helpRect()
	local w = math.max(1, math.min(screenWidth - 32, 640))
	local h = math.max(1, math.min(screenHeight - 32, 440))
	return math.floor((screenWidth - w) / 2), math.floor((screenHeight - h) / 2), w, h
end

local function makeHelpPage()
	local WebView = _G.WebView
	if help.view or help.failed or not WebView or not screenWidth or screenWidth <= 0 then
		return help.view
	end
	_G.Demo = _G.Demo or {}
	_G.Demo.Web = {
		ready = function(name)
			print("demo: web call ready " .. tostring(name))
			-- DEMO_HELP=exit ends the demo once the page called back (for tests).
			if _G.os and _G.os.getenv("DEMO_HELP") == "exit" then requestExit() end
		end,
		close = function() closeHelpPage() end,
	}
	local x, y, w, h = helpRect()
	-- A page that cannot be made is answered with nil and why (an error, from an older engine).
	local made, view, why = _G.pcall(WebView.new, x, y, w, h)
	if not made or not view then
		help.failed = true
		print("demo: no help page: " .. tostring(made and why or view))
		return nil
	end
	view:setOnPageLoadedCallback(function(v, ok, title) print("demo: web page loaded " .. tostring(title)) end)
	view:allowCallsFromJavaScript("Demo.Web")
	view:loadLocalPage("data_iphone/web/help.html")
	help.view, help.width, help.height, help.resized = view, screenWidth, screenHeight, nil
	print(string.format("demo: help page at %d,%d %dx%d", x, y, w, h))
	return view
end

function openHelpPage()
	if help.open or not makeHelpPage() then
		return
	end
	help.view:show()
	help.open = true
	print("demo: help opened")
end

function closeHelpPage()
	if not help.open then
		return
	end
	help.open = false
	if help.view then
		help.view:hide()
	end
	print("demo: help closed")
end

local function toggleHelpPage()
	if help.open then
		closeHelpPage()
	else
		openHelpPage()
	end
end

-- Once a new window size has held for half a second the page is made again at that size.
local function fitHelpPage(dt)
	if not help.view or (screenWidth == help.width and screenHeight == help.height) then
		help.resized = nil
		return
	end
	help.resized = (help.resized or 0) + dt
	if help.resized < 0.5 then
		return
	end
	local wasOpen = help.open
	help.view:delete()
	help.view = nil
	makeHelpPage()
	if wasOpen and help.view then
		help.view:show()
	end
end

local function startServices()
	services.started = true
	local atStart = _G.os and _G.os.getenv("DEMO_HELP")
	if atStart and atStart ~= "" and atStart ~= "0" then
		openHelpPage()
	else
		makeHelpPage()
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
	-- Not an object's definition: the shape of the gravity field's picture.
	blockTable.blocks.DEMO_FIELD_VISUAL = {type = "circle"}
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

-- The pictures of the level's objects by definition (one physics unit is 20 pixels).
local pictures = {BLOCK_WOOD_CRATE = "level_crate", BLOCK_TARGET = "level_bullseye", BLOCK_PROJECTILE = "level_shot",
	BLOCK_LAUNCHER = "level_post", BLOCK_STATIC_WALL = "level_wall", BLOCK_STATIC_HUB = "level_hub",
	BLOCK_WINDMILL = "level_blade", BLOCK_CONCAVE = "level_piece", BLOCK_PEBBLE = "level_crate"}
-- Whether the level's sprites loaded: a compound body refuses a piece picture that is not there.
local levelSprites = {loaded = false}

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
					blockData = {sprite = levelSprites.loaded and pictures[o.definition] or "", type = "polygon",
						worldVertices = outline}}}})
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

-- Music loops on track 0; effects go to track 1, where the engine lets 4 sound at once, and the
-- end of a level to track 3.
-- Effects follow the shot: its launch, its hits (louder the harder), a destroyed target and
-- the end of the level. Hits count once a shot has been launched, so the level settling
-- after a (re)start stays quiet.
local sound = {ok = false, live = false, lastHit = -1}
local function startSound()
	res.createAudioOutput(2, 16, 44100)
	res.createAudio(audioPath .. "/music.mp3", "music")
	for _, name in _G.ipairs({"pop", "hit", "break", "whoosh", "lose", "jingle1", "jingle2", "jingle3"}) do
		res.createAudio(audioPath .. "/" .. name .. ".wav", name, false)
	end
	res.createCompositeAudio("jingle", {"jingle1", "jingle2", "jingle3"})
	res.startAudioOutput()
	res.playAudio("music", 0.5, true, 0)
	sound.ok = true
end

local function effect(name, volume, track)
	if sound.ok then
		res.playAudio(name, math.max(0, math.min(1, volume)), false, track or 1)
	end
end

-- A hit of the given impact; hits closer together than 60 ms sound once.
local function hitSound(impact)
	if sound.live and impact >= 1 and demo.time - sound.lastHit >= 0.06 then
		sound.lastHit = demo.time
		effect("hit", 0.2 + impact / 10)
	end
end

-- Scene: the theme, the camera and the sprites of the level's objects.
local scene = {fgZ = 100}
screen = {x = 0, y = 0}

-- The level's sprites; a context that cannot make textures (the benchmarks' null GL) has none.
local function loadLevelSprites()
	res.createSpriteSheet(imagePath .. "/level.sheet")
	res.createCompoSpriteSet(imagePath .. "/level.compo")
end

local function dressLevel(level)
	setTheme(level.theme or "dusk")
	-- Theme sprites and the aiming stream's points are physics units, drawn at 20 pixels each.
	setPhysicsSimulationScale(20)
	createThemeSprite("cloud1", "level_cloud", 40, 2.5, 0.3, 0.3, 0, 0, 0, false, 0.6, 0)
	createThemeSprite("cloud2", "level_cloud", 30, 4.5, 0.4, 0.4, 0, 0, 0, true, 0.4, 0)
	for name, o in pairs(level.world) do
		if o.shape == "tower" then
			for row = 0, o.rows - 1 do
				for column = 0, o.columns - 1 do
					setSprite(name .. "_" .. row .. "_" .. column, "level_crate")
				end
			end
		elseif pictures[o.definition] and o.shape ~= "compound" and objects.world[name] then
			setSprite(name, pictures[o.definition])
		end
	end
end

-- The camera: every window shows the playfield (level units: from the launcher with its pull
-- to the far target, from the spring's top to the ground line) as large as it fits, aspect
-- kept, with the ground line a band above the bottom edge (the dirt, where the help button
-- sits). The wheel zooms about it. In flight the camera keeps the shot in view, widening up
-- to half the scale and then following it; it comes back once the shot is spent.
local field = {left = -44.5, right = 30, top = 3.5, ground = 29}
local view = {left = 0, top = 0, scale = 1, zoom = 1, width = 0, height = 0}

local function fittedView()
	local w, h = math.max(1, screenWidth), math.max(1, screenHeight)
	local band = math.min(72, h * 0.25)
	local fw, fh = (field.right - field.left) * 20, (field.ground - field.top) * 20
	local scale = math.min((w - 16) / fw, (h - band - 8) / fh) * view.zoom
	-- Centred; zoomed in, the launcher's side stays in view.
	local left = math.min((field.left + field.right) * 10 - w / 2 / scale, field.left * 20 - 8 / scale)
	return left, field.ground * 20 - (h - band) / scale, scale
end

-- The fitted view widened to hold the point (x, y) (world pixels) with a margin.
local function viewHolding(left, top, scale, x, y)
	local w, h, m = screenWidth, screenHeight, 60
	local l, r = math.min(left, x - m), math.max(left + w / scale, x + m)
	local t, b = math.min(top, y - m), top + h / scale
	local s = math.max(scale * 0.5, math.min(scale, w / (r - l), h / (b - t)))
	local nl, nt = (l + r) / 2 - w / 2 / s, b - h / s
	return math.min(math.max(nl, x + m - w / s), x - m), math.min(math.max(nt, y + m - h / s), y - m), s
end

-- Level units to screen pixels through the camera.
local function levelToScreen(x, y)
	return (x * 20 - view.left) * view.scale, (y * 20 - view.top) * view.scale
end

-- Moves the camera towards where it should be; follow: a point (world pixels) to keep in view.
-- Returns whether it stands where the fitted view puts it.
local function moveCamera(dt, followX, followY)
	local left, top, scale = fittedView()
	if demo.mode ~= "play" then
		-- The tour pans slowly; the hills follow it at their own depth.
		left = left + 40 * math.sin(demo.time * 0.5)
	end
	if followX then
		left, top, scale = viewHolding(left, top, scale, followX, followY)
	end
	local w, h = screenWidth, screenHeight
	if not view.ready or w ~= view.width or h ~= view.height then
		-- The first frame, or a window of a new size: no easing.
		view.ready, view.width, view.height = true, w, h
		view.left, view.top, view.scale = left, top, scale
		return true
	end
	-- Eased by the centre and the scale's logarithm, so widening and coming back look even.
	local k = 1 - math.exp(-5 * dt)
	local cx, cy = view.left + w / 2 / view.scale, view.top + h / 2 / view.scale
	local tx, ty = left + w / 2 / scale, top + h / 2 / scale
	view.scale = math.exp(math.log(view.scale) + (math.log(scale) - math.log(view.scale)) * k)
	cx, cy = cx + (tx - cx) * k, cy + (ty - cy) * k
	view.left, view.top = cx - w / 2 / view.scale, cy - h / 2 / view.scale
	if followX then
		-- Easing lags: the followed point stays inside all the same.
		local m = 40 / view.scale
		view.left = math.min(math.max(view.left, followX + m - w / view.scale), followX - m)
		view.top = math.min(math.max(view.top, followY + m - h / view.scale), followY - m)
	end
	local settled = math.abs(view.scale / scale - 1) < 0.001 and math.abs(view.left - left) * scale < 0.5 and
		math.abs(view.top - top) * scale < 0.5
	if settled and not followX then
		view.left, view.top, view.scale = left, top, scale
	end
	return settled and not followX
end

-- The hills layer is drawn in screen pixels: its centre line lies at (posY + half its height)
-- times its draw scale, which grows with the window's height (or the first frame's, if that
-- was taller). Its offset puts them on the ground line wherever the camera has it.
local hills = {}
local function placeHills()
	local theme = themes[loadedObjects.theme or "dusk"] or themes.dusk
	local layer = theme.bgLayers and theme.bgLayers[2]
	if not layer or screenHeight <= 0 then
		return
	end
	hills.firstHeight = hills.firstHeight or screenHeight
	local _, spriteHeight = res.getSpriteBounds(layer.sprite)
	local s = layer.scale * math.max(hills.firstHeight, screenHeight) / 768
	local ground = (field.ground * 20 - view.top) * view.scale
	layer.offsetY = (ground - (layer.posY + spriteHeight / 2) * s) * 768 / screenHeight
	setThemeOffsetY(loadedObjects.theme or "dusk", 0)
end

-- What the objects' sprites do not show, in screen pixels: the slope as a band on posts, the
-- spring as a band from its hook to the crate it holds, and the gravity field's pull as dots
-- drawn in towards its centre (the engine's gravity visuals for a round field).
local fieldVisual = {sensorType = "gravity", addVisualTimer = 0, active = true, definition = "DEMO_FIELD_VISUAL",
	radius = 2.2, gravityVisuals = {}}

local function drawFurniture()
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	local level = loadedObjects.world
	local slope = level.slope
	if slope then
		local width = math.max(3, 10 * view.scale)
		for i = 1, #slope.points - 1 do
			local a, b = slope.points[i], slope.points[i + 1]
			local x0, y0 = levelToScreen(slope.x + a[1], slope.y + a[2])
			local x1, y1 = levelToScreen(slope.x + b[1], slope.y + b[2])
			if a[2] < field.ground then
				local _, groundY = levelToScreen(0, field.ground)
				drawRubberband(x0, y0, x0, groundY, width * 0.6, "level_slope_post")
			end
			drawRubberband(x0, y0, x1, y1, width, "level_slope")
		end
		local last = slope.points[#slope.points]
		local x, y = levelToScreen(slope.x + last[1], slope.y + last[2])
		local _, groundY = levelToScreen(0, field.ground)
		drawRubberband(x, y, x, groundY, width * 0.6, "level_slope_post")
	end
	local hook, bob = objects.world.spring_top, objects.world.bob
	if hook and bob then
		local x0, y0 = levelToScreen(hook.x, hook.y)
		local x1, y1 = levelToScreen(bob.x, bob.y)
		drawRubberband(x0, y0, x1, y1, math.max(2, 5 * view.scale), "level_spring")
	end
	local gravity = objects.world.field
	if gravity then
		-- Three rings of dots drawn in towards the centre. The engine scales an entry by its scale
		-- times radius x 3 x 0.019; the dot sprite's ring is 40 pixels across at scale 1.
		local unit = 1 / (fieldVisual.radius * 3 * 0.019)
		for i = 1, 3 do
			local t = (demo.time * 0.6 + i / 3) % 1
			fieldVisual.gravityVisuals[i] = {scale = unit * fieldVisual.radius * 20 * (1 - t) / 40,
				sprite = "level_gravity_dot", x = 0, y = 0}
		end
		local x, y = levelToScreen(gravity.x, gravity.y)
		renderGravityVisualsNative(fieldVisual, x, y, view.scale)
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	end
end

local function drawLevelScene()
	screen.x = view.left
	setWorldScale(view.scale)
	setTopLeft(view.left, view.top)
	placeHills()
	drawBackgroundNative(-1)
	drawFurniture()
	drawGameNative(scene.fgZ)
end

local function levelShown()
	return scene.ready and (not demo.title or (scene.frames or 0) > 60)
end

local function buildDemoLevel()
	if type(loadedObjects) == "table" and type(loadedObjects.world) == "table" then
		defineBlocks()
		setWorldGravity(0, loadedObjects.worldGravity or 10)
		setLevelLimits(-60, -40, 60, 40)
		-- Before the objects: a compound body finds its pieces' pictures when it is made.
		levelSprites.loaded = _G.pcall(loadLevelSprites)
		physicsLine("physics: level built, " .. buildLevel(loadedObjects) .. " objects")
		local dressed, dressErr = false, "no level sprites"
		if levelSprites.loaded then
			dressed, dressErr = _G.pcall(dressLevel, loadedObjects)
		end
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
			physicsLine("physics: launch " .. launch.name)
			sound.live = true
			effect("whoosh", 0.9)
		end
	end
	if p.time >= p.nextReport then
		p.nextReport = p.nextReport + 0.5
		local shot = objects.world and objects.world.shot
		physicsLine(string.format("physics: t=%.1f awake=%s moving=%s stepms=%.3f projectile=%.2f,%.2f", p.time,
			tostring(hasAwakeObjects), tostring(hasMovingObjects), g_physicsUpdateMillis or 0,
			shot and shot.x or 0, shot and shot.y or 0))
	end
	if not p.settled and p.time > 1 and hasAwakeObjects == false then
		p.settled = true
		physicsLine(string.format("physics: settled at t=%.1f", p.time))
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
			physicsLine("physics: joint broken " .. name)
		end
	end
	for name, w in pairs(objects.world or {}) do
		if w.insideGravity and not c.inField[name] then
			c.inField[name] = true
			physicsLine("physics: in field " .. name)
		end
	end
	if not c.finished and (physicsDemo.settled or physicsDemo.time >= 29) then
		c.finished = true
		local found = getIntersectingObjects({x = 16, y = 27, left = -2, right = 2, down = -2.5, up = 2.5})
		physicsLine("physics: query " .. #found)
		local launcher = objects.world.launcher
		local hits = getRayCastedObjects({x1 = launcher.x + 1.5, y1 = 27.5, x2 = 57, y2 = 27.5})
		physicsLine("physics: ray " .. (#hits / 6))
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

-- The title screen, up for a second before the level: background, logo and the title in
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
	return bw, bh
end

function update(scaledDt, dt)
	if not demo.mode then
		chooseDemoMode()
	end
	if not services.started then
		startServices()
	end
	demo.time = demo.time + dt
	if demo.mode ~= "play" then
		demo.score = math.floor(demo.time * 10)
	end
	particlesDemoUpdate(dt)
	fitHelpPage(dt)
	-- The menu key opens and closes the help page; the back key closes it, or ends the game.
	if keyPressed.KEY_MENU then
		toggleHelpPage()
	elseif keyPressed.KEY_BACK then
		if help.open then
			closeHelpPage()
		else
			requestExit()
		end
	end
	if scene.ready then
		if cursor.wheelTriggered and type(cursor.wheel) == "number" and demo.mode == "play" then
			view.zoom = math.max(0.6, math.min(2, view.zoom * 1.15 ^ cursor.wheel))
		end
		view.settled = moveCamera(dt, cameraFollows())
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
	-- UI text leaves its scale and turn in the render state.
	setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	-- The hint, until the player's first launch; narrower (and longer) in a small window.
	if demo.mode ~= "play" or not play.launched then
		local lineHeight = res.getFontHeight()
		local pw = math.floor(math.min(300, screenWidth * 0.45))
		clipText("TEXTS_HUD", "HINT", pw - 28)
		local ph = 20 + #clippedText.lines * lineHeight
		local px, py = screenWidth - 16, 12
		drawBoxNative(hudPanel, px, py, pw, ph, "RIGHT", "TOP")
		for i, line in ipairs(clippedText.lines) do
			drawUITextNative({visible = true, group = "", text = line, x = 0, y = 0, scaleX = 1, scaleY = 1},
				px - pw + 14, py + 10 + (i - 1) * lineHeight)
		end
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
	end
	drawAimEnd()
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
	if levelShown() then
		if not scene.shown then
			-- The title's sparkles stay with the title.
			scene.shown = true
			clearParticlesNative()
		end
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
		physicsLine("physics: destroyed " .. name)
		if sound.live then
			local o = loadedObjects.world[name]
			effect("break", o and o.definition == "BLOCK_TARGET" and 1 or 0.5)
		end
		removeObject(name)
	end
end
function clearLuaForceFunctions() end
function selectObjectAnimation(name, speed, direction, scaledDt) end
function enterCollision(a, b) physicsLine("physics: enter " .. a .. " " .. b) end
function exitCollision(a, b)
	physicsLine("physics: exit " .. a .. " " .. b)
	if a == "killzone" or b == "killzone" then
		physicsLine("physics: killed " .. (a == "killzone" and b or a))
	end
end
function projectileCollision(p, t, impact, damage)
	if demo.mode == "play" then
		playHit(p, t, damage)
	end
	aimingDemoHit(p, t)
	physicsLine(string.format("physics: hit %s %s impact=%.2f damage=%d", p, t, impact, damage))
	hitSound(impact)
	if impact >= 1 then
		particlesDemoHit(t, impact)
	end
end
-- Blocks resting on each other touch with no impact: only real hits are printed.
function blockCollision(a, b, impact, notBlocked, unused, damage)
	if impact >= 1 then
		physicsLine(string.format("physics: block %s %s impact=%.2f damage=%d", a, b, impact, damage))
		hitSound(impact)
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
	if not sparkles.ready or not demo.title or sparkles.frames < 40 or scene.shown then
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

-- Predicts a throw from (x, y) (level units) and lets the stream flow along it, up to where
-- the shot would land or leave the playfield. A ballistic estimate in the world's gravity,
-- with a ray along every four steps, finds how long the flight lasts until it meets
-- something (not the shot itself, the launcher it flies past, or a sensor); the engine's
-- prediction, gravity field included, then runs that long in its fixed number of steps. So
-- the stream always has as many points, and its dots flow on from one frame to the next.
local predictor = {step = 1 / 30, longest = 8, passes = {ProjectileSimulation = true, launcher = true, field = true,
	killzone = true}}

local function firstHit(x1, y1, x2, y2, shot)
	if x1 == x2 and y1 == y2 then
		return nil
	end
	local hits = getRayCastedObjects({x1 = x1, y1 = y1, x2 = x2, y2 = y2})
	local nearest
	for i = 1, #hits, 6 do
		local name, fraction = hits[i], hits[i + 5]
		if name ~= shot and not predictor.passes[name] and (not nearest or fraction < nearest) then
			nearest = fraction
		end
	end
	return nearest
end

local function flightTime(x, y, vx, vy, shot)
	local g, dt, t = loadedObjects.worldGravity or 10, predictor.step, 0
	while t < predictor.longest do
		local qx, qy, wx, wy = x, y, vx, vy
		for _ = 1, 4 do
			wy = wy + g * dt
			qx, qy = qx + wx * dt, qy + wy * dt
		end
		local hit = firstHit(x, y, qx, qy, shot)
		if hit then
			-- Up to where the shot's edge would touch.
			local length = math.sqrt((qx - x) ^ 2 + (qy - y) ^ 2)
			return t + 4 * dt * math.max(0, hit - 0.5 / length)
		end
		t = t + 4 * dt
		x, y, vx, vy = qx, qy, wx, wy
		if math.abs(x) > 60 or y > 40 or y < -80 then
			return t
		end
	end
	return t
end

local function aimAt(x, y, vx, vy, shot)
	currentTimeStep = math.max(0.1, flightTime(x, y, vx, vy, shot)) / worldAttributes.simulationIterations
	setPosition("ProjectileSimulation", x, y)
	setVelocity("ProjectileSimulation", vx, vy)
	ClearSimulationTrajectory()
	updateProjectileTrajectoryTable()
	predictor.endX, predictor.endY = getWorldPoint("ProjectileSimulation", 0, 0)
	-- The simulation body must not keep the world from settling.
	setSleeping("ProjectileSimulation", true)
	enableAimingAid(true)
end

-- The aim is off: the stream's dots flow out (a launch) or go at once, and the end mark goes.
local function stopAiming(flowOut)
	clearAimingAid(flowOut and 0 or 2)
	enableAimingAid(false)
	predictor.endX = nil
end

-- A ring where the predicted path ends (drawn with the heads-up display).
function drawAimEnd()
	if predictor.endX then
		local x, y = levelToScreen(predictor.endX, predictor.endY)
		local size = math.max(14, 28 * view.scale)
		res.drawSprite("aim_end", x - size / 2, y - size / 2, "TOP", "LEFT", size, size)
	end
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
		aimAt(shot.x, shot.y, launch.velocity[1], launch.velocity[2] * (0.4 + 0.6 * k), launch.name)
		return
	end
	if aiming.phase == "aim" then
		-- Thrown: the stream runs out at its end and the trail begins. A slow window may have
		-- thrown before the first aim: the next aim then starts where the shot is now.
		aiming.fromX = aiming.fromX or shot.x
		aiming.fromY = aiming.fromY or shot.y
		stopAiming(true)
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
		aimAt(aiming.fromX, aiming.fromY, launch.velocity[1] * 0.8, launch.velocity[2] * 1.3, launch.name)
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

-- Playing in a window: the player presses on the loaded shot, pulls it back and lets go.
-- Headless runs, and runs with DEMO_TOUR=1, keep the self-playing tour above.
play = {shots = 3, pullRadius = 4, deadZone = 0.75, pixelsPerUnit = 13, speedFactor = 9, maxSpeed = 34,
	settleTime = 1.5, settleLimit = 5, targetBonus = 500,
	state = "wait", shotsLeft = 3, removed = {}, loaded = 0, flight = 0, nextPoint = 0, score = 0}

local function switchedOn(name)
	local value = _G.os and _G.os.getenv(name)
	return value ~= nil and value ~= "" and value ~= "0"
end

function chooseDemoMode()
	if g_mouseAvailable == true and not switchedOn("DEMO_TOUR") then
		demo.mode = "play"
	else
		demo.mode = "tour"
	end
	physicsLog.on = demo.mode == "tour" or switchedOn("DEMO_PHYSICS")
	for _, text in ipairs(physicsLog.pending) do
		physicsLine(text)
	end
	physicsLog.pending = {}
end

-- The camera follows the shot in flight (world pixels), and nothing otherwise.
function cameraFollows()
	local shot = demo.mode == "play" and play.state == "flying" and objects.world[play.shot]
	if shot then
		return shot.x * 20, shot.y * 20
	end
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

-- Puts a new shot on the launcher (the level's own shot first); where it is on screen is said
-- once the camera has come back (announceShot).
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
	play.announced = nil
end

-- "demo: shot ready at X,Y" (window pixels) whenever the waiting shot stands somewhere new on
-- a still camera: after loading, a zoom or a new window size.
local function announceShot()
	local shot = objects.world[play.shot]
	if play.state ~= "ready" or not view.settled or not shot then
		return
	end
	local x, y = levelToScreen(shot.x, shot.y)
	local at = string.format("%d,%d", math.floor(x + 0.5), math.floor(y + 0.5))
	if at ~= play.announced then
		play.announced = at
		print("demo: shot ready at " .. at)
	end
end

-- The pull from where the press began to the cursor, in level units, kept inside the
-- launcher's radius and above the ground and the launcher. A drag pulls as far in every
-- window, whatever its scale.
local function pull()
	local x = (cursor.x - play.pressX) / play.pixelsPerUnit
	local y = (cursor.y - play.pressY) / play.pixelsPerUnit
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

-- Back to the rest point: nothing was launched.
local function cancelAim()
	setPosition(play.shot, play.restX, play.restY)
	stopAiming(false)
	play.state = "ready"
end

local function launch(vx, vy)
	stopAiming(true)
	setActive(play.shot, true)
	setVelocity(play.shot, vx, vy)
	print(string.format("demo: launch %.2f,%.2f", vx, vy))
	sound.live = true
	effect("whoosh", 0.9)
	play.launched = true
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
	stopAiming(false)
	print(won and "demo: level won" or "demo: level lost")
	-- Track 3: the end of a level is heard even while four hits still sound on track 1.
	effect(won and "jingle" or "lose", 1, 3)
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
	stopAiming(false)
	sound.live = false
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

local function pointIn(x, y, w, h)
	return cursor.x and cursor.x >= x and cursor.x < x + w and cursor.y >= y and cursor.y < y + h
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
	-- A press: the help button's, or the game's while no page lies over it.
	local press = keyPressed.LBUTTON and cursor.x ~= nil
	local bx, by = helpButtonAt()
	if press and pointIn(bx, by, helpButton.size, helpButton.size) then
		toggleHelpPage()
		press = false
	end
	press = press and not help.open
	if play.state == "won" or play.state == "lost" then
		if press then
			playRestart()
		end
		return
	end
	if targetsLeft() == 0 then
		endLevel(true)
		return
	end
	local shot = objects.world[play.shot]
	if play.state == "ready" and press and shot then
		-- Only a press near the shot (three of its radii, at least 24 pixels) takes it.
		local sx, sy = levelToScreen(shot.x, shot.y)
		local grab = math.max(24, 30 * view.scale)
		if (cursor.x - sx) ^ 2 + (cursor.y - sy) ^ 2 <= grab ^ 2 then
			play.state = "aiming"
			play.pressX, play.pressY = cursor.x, cursor.y
		end
	end
	if play.state == "aiming" then
		local x, y, length = pull()
		if help.open then
			cancelAim()
		elseif keyHold.LBUTTON then
			setPosition(play.shot, play.restX + x, play.restY + y)
			if length < play.deadZone then
				stopAiming(false)
			else
				local vx, vy = launchVelocity(x, y)
				aimAt(play.restX + x, play.restY + y, vx, vy, play.shot)
			end
		elseif length < play.deadZone then
			-- Let go without having pulled: nothing is launched.
			cancelAim()
		else
			setPosition(play.shot, play.restX + x, play.restY + y)
			launch(launchVelocity(x, y))
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
	announceShot()
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

-- The end panels hide the game below them: their middle is filled, not a stretched sprite.
local endPanelFill = {red = 20 / 255, green = 30 / 255, blue = 60 / 255, alpha = 1}

-- A pulsing ring round each target left, never smaller than 28 pixels across.
local function drawTargetMarks()
	local size = math.max(28, 56 * view.scale) * (1 + 0.12 * math.sin(demo.time * 5))
	for name, o in pairs(loadedObjects.world) do
		local target = o.definition == "BLOCK_TARGET" and not play.removed[name] and objects.world[name]
		if target then
			local x, y = levelToScreen(target.x, target.y)
			res.drawSprite("hud_target_mark", x - size / 2, y - size / 2, "TOP", "LEFT", size, size)
		end
	end
end

function playDrawHud()
	local lineHeight = res.getFontHeight()
	drawTargetMarks()
	text("Best " .. math.floor(bestScore()), 16, 12 + lineHeight * 2.6, 1)
	text("Shots " .. play.shotsLeft, 16, 12 + lineHeight * 3.6, 1)
	local bx, by = helpButtonAt()
	drawBoxNative(hudPanel, bx, by, helpButton.size, helpButton.size, "LEFT", "TOP")
	text("?", bx + helpButton.size / 2 - 6, by + helpButton.size / 2 - lineHeight / 2, 1.2)
	-- The band: from both posts to the shot while it waits or is pulled, slack once it flies.
	local launcher = objects.world.launcher
	local shot = objects.world[play.shot or ""]
	if launcher then
		local width = math.max(3, 9 * view.scale)
		local lx, ly = levelToScreen(launcher.x - 1.5, launcher.y - 2)
		local rx, ry = levelToScreen(launcher.x + 1.5, launcher.y - 2)
		if shot and (play.state == "ready" or play.state == "aiming") then
			local sx, sy = levelToScreen(shot.x, shot.y)
			drawRubberband(lx, ly, sx, sy, width, "hud_band")
			drawRubberband(rx, ry, sx, sy, width, "hud_band")
		else
			drawRubberband(lx, ly, rx, ry, width, "hud_band")
		end
	end
	if play.state == "won" or play.state == "lost" then
		local pw, ph = 420, 150
		local px, py = (screenWidth - pw) / 2, (screenHeight - ph) / 2
		drawBoxNative(hudPanel, px, py, pw, ph, "LEFT", "TOP", endPanelFill)
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
		drawUITextNative({visible = true, group = "TEXTS_BASIC", text = play.state == "won" and "LEVEL_CLEARED" or "TRY_AGAIN",
			x = 0, y = 0, scaleX = 1.5, scaleY = 1.5}, px + 24, py + 20)
		setRenderState(0, 0, 1, 1, 0, 0, 0, 1)
		text("Score " .. play.score .. "   Best " .. math.floor(bestScore()), px + 24, py + 20 + lineHeight * 2, 1)
		text("Tap to play again", px + 24, py + 20 + lineHeight * 3.3, 1)
	end
end
