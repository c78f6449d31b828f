-- The demo's 2-D content: built by "qf3d build" into the demo data folder.

sheets = {
	-- Title sparkles, and the dust and debris of block hits.
	{
		file = "images/particles.sheet",
		sprites = {
			{ name = "particle_spark1", shape = "circle", radius = 5, color = { 255, 250, 210 } },
			{ name = "particle_spark2", shape = "circle", radius = 4, color = { 255, 220, 120 } },
			{ name = "particle_spark3", shape = "circle", radius = 3, color = { 255, 150, 60 } },
			{ name = "particle_dust", shape = "circle", radius = 7, color = { 210, 190, 160, 150 } },
			{ name = "particle_debris1", shape = "rect", width = 7, height = 4, color = { 150, 100, 55 } },
			{ name = "particle_debris2", shape = "rect", width = 4, height = 4, color = { 110, 70, 35 } },
			{ name = "particle_debris3", shape = "rect", width = 9, height = 3, color = { 175, 125, 75 } },
		},
	},
	{
		file = "images/title.sheet",
		sprites = {
			{ name = "title_background", shape = "gradient", width = 256, height = 128, from = { 20, 40, 90 }, to = { 90, 150, 220 } },
			{ name = "title_button", shape = "roundrect", width = 160, height = 48, radius = 12, color = { 240, 180, 40 } },
			{ name = "title_button_frame", shape = "roundrect", width = 160, height = 48, radius = 12, outline = 3, color = { 120, 60, 10 } },
			{ name = "title_sun", shape = "circle", radius = 24, color = { 255, 220, 60 } },
			{ name = "title_halo", shape = "ring", radius = 32, thickness = 4, color = { 255, 240, 160, 200 } },
			{ name = "title_bar", shape = "rect", width = 200, height = 12, color = { 255, 255, 255 } },
		},
	},
	{
		file = "images/level.sheet",
		sprites = {
			{ name = "level_ground", shape = "gradient", width = 128, height = 32, from = { 110, 80, 40 }, to = { 60, 40, 20 } },
			{ name = "level_block", shape = "rect", width = 40, height = 40, color = { 170, 120, 70 } },
			{ name = "level_block_frame", shape = "rect", width = 40, height = 40, outline = 2, color = { 80, 50, 20 } },
			{ name = "level_ball", shape = "circle", radius = 12, color = { 220, 40, 40 } },
			{ name = "level_target", shape = "ring", radius = 16, thickness = 5, color = { 40, 200, 80 } },
			{ name = "level_panel", shape = "roundrect", width = 96, height = 64, radius = 10, color = { 0, 0, 0, 160 } },
			-- The level's theme and its dressed objects (one physics unit is 20 pixels).
			{ name = "level_sky", shape = "gradient", width = 256, height = 96, from = { 40, 70, 150 }, to = { 150, 190, 230 }, pivot = { 0, 0 } },
			{ name = "level_hill", shape = "circle", radius = 64, color = { 60, 130, 70 } },
			{ name = "level_cloud", shape = "roundrect", width = 64, height = 20, radius = 10, color = { 250, 250, 255, 220 } },
			-- The ground tile's pivot lifts it to the level's ground line, 580 pixels down.
			{ name = "level_ground_tile", shape = "gradient", width = 64, height = 32, from = { 80, 160, 60 }, to = { 110, 80, 40 }, pivot = { 0, -580 } },
			{ name = "level_crate", shape = "roundrect", width = 20, height = 20, radius = 3, color = { 190, 130, 60 } },
			{ name = "level_shot", shape = "circle", radius = 10, color = { 200, 30, 30 } },
			{ name = "level_post", shape = "rect", width = 40, height = 60, color = { 90, 90, 110 } },
			-- Everything else the shot can hit: walls, the windmill, the spring's hook, the L-shaped
			-- piece (level.compo), the slope (a band on posts) and the spring (a band), the targets
			-- (level.compo), and the dots of the gravity field's pull.
			{ name = "level_wall", shape = "gradient", width = 40, height = 360, from = { 95, 95, 110 }, to = { 140, 140, 155 }, direction = "horizontal" },
			{ name = "level_blade", shape = "roundrect", width = 120, height = 8, radius = 3, color = { 110, 70, 40 } },
			{ name = "level_hub", shape = "circle", radius = 6, color = { 55, 55, 65 } },
			{ name = "level_piece_bar", shape = "roundrect", width = 60, height = 20, radius = 2, color = { 95, 110, 140 } },
			{ name = "level_piece_leg", shape = "roundrect", width = 20, height = 40, radius = 2, color = { 95, 110, 140 } },
			{ name = "level_slope", shape = "gradient", width = 32, height = 8, from = { 170, 125, 70 }, to = { 105, 70, 35 } },
			{ name = "level_slope_post", shape = "rect", width = 8, height = 8, color = { 105, 75, 45 } },
			{ name = "level_spring", shape = "gradient", width = 32, height = 4, from = { 60, 60, 70 }, to = { 150, 150, 165 } },
			{ name = "level_target_ring", shape = "ring", radius = 10, thickness = 3, color = { 255, 255, 255 } },
			{ name = "level_target_core", shape = "circle", radius = 7, color = { 30, 190, 70 } },
			{ name = "level_target_eye", shape = "circle", radius = 3, color = { 255, 255, 255 } },
			-- Its pivot lies 40 pixels below the dot: turned about it, the dots ring the field's centre.
			{ name = "level_gravity_dot", shape = "circle", radius = 6, color = { 175, 135, 255, 220 }, pivot = { 6, 46 } },
		},
	},
	-- The aiming stream and the shot trails.
	{
		file = "images/aim.sheet",
		sprites = {
			{ name = "aim_dot", shape = "circle", radius = 6, color = { 255, 230, 90 } },
			{ name = "aim_end", shape = "ring", radius = 10, thickness = 3, color = { 255, 230, 90 } },
			{ name = "trail_dot", shape = "circle", radius = 3, color = { 255, 255, 255, 220 } },
			{ name = "trail_puff", shape = "ring", radius = 12, thickness = 3, color = { 240, 240, 240, 230 } },
		},
	},
}

composites = {
	-- The L-shaped piece from the corner of its outline (its body's origin), and the targets' bullseye.
	{
		file = "images/level.compo",
		version = 2,
		items = {
			{ name = "level_piece", parts = { { sprite = "level_piece_bar", x = 30, y = 10 }, { sprite = "level_piece_leg", x = 10, y = 40 } },
				extras = {} },
			{ name = "level_bullseye", parts = { { sprite = "level_target_ring", x = 0, y = 0 }, { sprite = "level_target_core", x = 0, y = 0 },
				{ sprite = "level_target_eye", x = 0, y = 0 } }, extras = {} },
		},
	},
	{
		file = "images/logo.compo",
		version = 2,
		items = {
			{
				name = "logo",
				parts = {
					{ sprite = "title_halo", x = 0, y = 0 },
					{ sprite = "title_sun", x = 0, y = 0 },
					{ sprite = "title_bar", x = 0, y = 44 },
					{ sprite = "title_button", x = 0, y = 80 },
					{ sprite = "title_button_frame", x = 0, y = 80 },
				},
				extras = { { name = "shine", a = 0, b = -32 } },
			},
		},
	},
}

fonts = {
	-- Latin-1 for the scripts' own strings and every character of the demo's texts.
	{ file = "fonts/FONT_BASIC_DEFAULT.font", size = 20, tracking = 0, ranges = { { 0x20, 0x7E }, { 0xA0, 0xFF } },
		texts = { "localization/TEXTS_BASIC.lang", "localization/TEXTS_HUD.lang" } },
}

texts = {
	{
		file = "localization/TEXTS_BASIC.lang",
		locales = { "en_EN", "fr_FR" },
		texts = {
			{ id = "TITLE", en_EN = "Physics Demo", fr_FR = "Démo de physique" },
			{ id = "PLAY", en_EN = "Play", fr_FR = "Jouer" },
			{ id = "SETTINGS", en_EN = "Settings", fr_FR = "Réglages" },
			{ id = "LEVEL", en_EN = "Level", fr_FR = "Niveau" },
			{ id = "SCORE", en_EN = "Score", fr_FR = "Score" },
			{ id = "LEVEL_CLEARED", en_EN = "Level cleared!", fr_FR = "Niveau réussi !" },
			{ id = "TRY_AGAIN", en_EN = "Try again", fr_FR = "Réessayer" },
			{ id = "BACK", en_EN = "Back", fr_FR = "Retour" },
		},
	},
}

-- Material textures of the level's blocks. Each material sheet holds one sprite that fills
-- its power-of-two image; the build then paints the repeating picture over that image
-- (materials.sh).
for _, material in ipairs({ "wood", "stone" }) do
	table.insert(sheets, {
		file = "images/material_" .. material .. ".sheet",
		sprites = { { name = "material_" .. material, shape = "rect", width = 60, height = 60, color = { 128, 128, 128 } } },
	})
end

-- The level's heads-up display: a nine-slice panel, the launcher's band and the hint text.
sheets[#sheets + 1] = {
	file = "images/hud.sheet",
	sprites = {
		{ name = "hud_panel_tl", shape = "roundrect", width = 12, height = 12, radius = 5, color = { 250, 210, 90 } },
		{ name = "hud_panel_t", shape = "rect", width = 4, height = 4, color = { 250, 210, 90 } },
		{ name = "hud_panel_tr", shape = "roundrect", width = 12, height = 12, radius = 5, color = { 250, 210, 90 } },
		{ name = "hud_panel_l", shape = "rect", width = 4, height = 4, color = { 250, 210, 90 } },
		{ name = "hud_panel_c", shape = "rect", width = 4, height = 4, color = { 20, 30, 60, 210 } },
		{ name = "hud_target_mark", shape = "ring", radius = 32, thickness = 5, color = { 255, 225, 60, 230 } },
		{ name = "hud_panel_r", shape = "rect", width = 4, height = 4, color = { 250, 210, 90 } },
		{ name = "hud_panel_bl", shape = "roundrect", width = 12, height = 12, radius = 5, color = { 250, 210, 90 } },
		{ name = "hud_panel_b", shape = "rect", width = 4, height = 4, color = { 250, 210, 90 } },
		{ name = "hud_panel_br", shape = "roundrect", width = 12, height = 12, radius = 5, color = { 250, 210, 90 } },
		{ name = "hud_band", shape = "gradient", width = 32, height = 8, from = { 90, 40, 15 }, to = { 190, 110, 40 }, direction = "horizontal" },
	},
}

texts[#texts + 1] = {
	file = "localization/TEXTS_HUD.lang",
	locales = { "en_EN", "fr_FR" },
	texts = {
		{ id = "HINT", en_EN = "Pull the band back and let go: knock the crates over and hit both targets.",
			fr_FR = "Tirez l'élastique puis lâchez : renversez les caisses et touchez les deux cibles." },
	},
}
