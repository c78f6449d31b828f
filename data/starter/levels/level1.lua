-- The first level, loaded by loadLevel(levelPath .. "/level1"): a table file, run with a fresh
-- table as its globals. The engine checks that filename names this file; the rest is the game's.
filename = "level1.lua"
-- The background colour (red, green, blue) and the gravity, in physics units per second squared.
sky = {110, 170, 230}
worldGravity = 10
-- Static objects (density 0), in physics units: one unit is 20 pixels at world scale 1.
-- (An object named "ground" would not be drawn: that name is kept for a theme's ground.)
world = {
	floor = {sprite = "floor", x = 24, y = 30, width = 48, height = 2},
}
-- Where falling boxes start, in physics units from the top.
dropHeight = 14
