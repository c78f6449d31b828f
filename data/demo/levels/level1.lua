filename = "level1.lua"
theme = "dusk"
physicsToWorld = 20
gravityForceMultiplier = 4
worldGravity = 10
counts = {blocks = 28}
-- Built by the game logic: y grows downwards, one unit is one metre.
world = {
	ground = {name = "ground", definition = "BLOCK_STATIC_GROUND", shape = "box", x = 0, y = 30, width = 120, height = 2, density = 0},
	wall_left = {name = "wall_left", definition = "BLOCK_STATIC_WALL", shape = "box", x = -59, y = 20, width = 2, height = 18, density = 0},
	wall_right = {name = "wall_right", definition = "BLOCK_STATIC_WALL", shape = "box", x = 59, y = 20, width = 2, height = 18, density = 0},
	slope = {name = "slope", definition = "BLOCK_LINE_SLOPE", shape = "line", x = 30, y = 0, density = 0,
		points = {{0, 29}, {12, 23}, {20, 23}}},
	launcher = {name = "launcher", definition = "BLOCK_LAUNCHER", shape = "box", x = -40, y = 27.5, width = 2, height = 3, density = 0},
	piece = {name = "piece", definition = "BLOCK_CONCAVE", shape = "compound", x = 5, y = 26, angle = 0, density = 1,
		outline = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}}},
	tower = {name = "tower", definition = "BLOCK_WOOD_CRATE", shape = "tower", x = 15, y = 28.5, columns = 3, rows = 4, density = 1,
		material = "wood", strength = 6, defence = 0.5, damageFactors = "crate"},
	target_1 = {name = "target_1", definition = "BLOCK_TARGET", shape = "circle", x = 16, y = 24.5, radius = 0.5, density = 0.5,
		material = "glass", strength = 2},
	target_2 = {name = "target_2", definition = "BLOCK_TARGET", shape = "circle", x = 25, y = 28.5, radius = 0.5, density = 0.5,
		material = "glass", strength = 2},
	shot = {name = "shot", definition = "BLOCK_PROJECTILE", shape = "projectile", x = -40, y = 25.5, radius = 0.5, density = 3,
		launchAt = 1, velocity = {30, -10}, damageFactors = "heavyShot"},
	-- Joints, a gravity field and a killing volume.
	hub = {name = "hub", definition = "BLOCK_STATIC_HUB", shape = "box", x = -20, y = 10, width = 0.5, height = 0.5, density = 0},
	blade = {name = "blade", definition = "BLOCK_WINDMILL", shape = "box", x = -20, y = 10, width = 6, height = 0.4, density = 1},
	spring_top = {name = "spring_top", definition = "BLOCK_STATIC_HUB", shape = "box", x = -10, y = 5, width = 0.5, height = 0.5, density = 0},
	bob = {name = "bob", definition = "BLOCK_WOOD_CRATE", shape = "box", x = -10, y = 8, width = 1, height = 1, density = 1},
	field = {name = "field", definition = "BLOCK_GRAVITY_FIELD", shape = "field", x = -30, y = 22.7, width = 3, height = 3,
		radius = 4, minForce = 0, maxForce = 5},
	killzone = {name = "killzone", definition = "BLOCK_KILLING_VOLUME", shape = "killzone", x = 66, y = 36, width = 10, height = 4},
	pebble = {name = "pebble", definition = "BLOCK_PEBBLE", shape = "box", x = 66, y = 20, width = 1, height = 1, density = 1,
		stopsInKillingVolume = true},
}
joints = {
	{type = 3, name = "windmill", end1 = "hub", end2 = "blade", motor = true, motorSpeed = 1.5, maxTorque = 2000,
		limit = true, lowerLimit = -0.6, upperLimit = 0.6},
	{type = 1, name = "spring", end1 = "spring_top", end2 = "bob", frequency = 1.5, dampingRatio = 0.1},
	{type = 0, name = "glue", end1 = "target_1", end2 = "tower_3_1", breakable = true, breakForce = 0.5},
}
