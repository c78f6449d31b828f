-- The game's pictures and font, built by "qf3d build content/content.lua --out data_iphone".
-- Each sheet is one image holding its sprites; a shape is drawn by the tool (rect, roundrect,
-- circle, ring, gradient), or a sprite may be cut from a picture of your own.

sheets = {
	-- The level: the floor (48 x 2 physics units) and a box (2 x 2), at 20 pixels a unit.
	{
		file = "images/game.sheet",
		sprites = {
			{ name = "floor", shape = "rect", width = 960, height = 40, color = { 90, 160, 60 } },
			{ name = "box", shape = "rect", width = 40, height = 40, color = { 230, 140, 40 } },
		},
	},
	-- The heads-up display: the panel behind the score.
	{
		file = "images/hud.sheet",
		sprites = {
			{ name = "panel", shape = "roundrect", width = 300, height = 44, radius = 10, color = { 0, 0, 0, 150 } },
		},
	},
}

fonts = {
	-- DejaVu Sans at 24 pixels, printable ASCII.
	{ file = "fonts/FONT_BASIC_DEFAULT.font", size = 24, tracking = 0, ranges = { { 0x20, 0x7E } } },
}
