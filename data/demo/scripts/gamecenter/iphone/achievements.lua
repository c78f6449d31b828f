-- Run with the game table as environment: sets its own global.
achievementList = {
	firstStart = {id = "demo.first", points = 10},
}
