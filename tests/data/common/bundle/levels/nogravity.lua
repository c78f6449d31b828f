filename = "nogravity.lua"
theme = "dusk"
