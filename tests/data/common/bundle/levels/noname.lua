theme = "dusk"
