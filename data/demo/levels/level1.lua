filename = "level1.lua"
theme = "dusk"
physicsToWorld = 20
gravityForceMultiplier = 4
worldGravity = 10
counts = {blocks = 21}
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
	tower = {name = "tower", definition = "BLOCK_WOOD_CRATE", shape = "tower", x = 15, y = 28.5, columns = 3, rows = 4, density = 1},
	target_1 = {name = "target_1", definition = "BLOCK_TARGET", shape = "circle", x = 16, y = 24.5, radius = 0.5, density = 0.5},
	target_2 = {name = "target_2", definition = "BLOCK_TARGET", shape = "circle", x = 25, y = 28.5, radius = 0.5, density = 0.5},
	shot = {name = "shot", definition = "BLOCK_PROJECTILE", shape = "projectile", x = -40, y = 25.5, radius = 0.5, density = 3,
		launchAt = 1, velocity = {24, -9}},
}
