filename = "level1.lua"
theme = "dusk"
physicsToWorld = 20
gravityForceMultiplier = 4
worldGravity = 10
counts = {blocks = 2}
world = {
	ground = {name = "ground", definition = "BLOCK_STATIC_GROUND", x = 0, y = 30, angle = 0},
	crate = {name = "crate", definition = "BLOCK_WOOD_CRATE", x = 10, y = 20, angle = 0.5, scale = 1},
}
