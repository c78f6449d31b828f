filename = "good.lua"
theme = "dawn"
gravityForceMultiplier = 3
world = {}
