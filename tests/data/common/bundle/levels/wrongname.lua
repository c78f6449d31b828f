filename = "other.lua"
theme = "dusk"
gravityForceMultiplier = 9
