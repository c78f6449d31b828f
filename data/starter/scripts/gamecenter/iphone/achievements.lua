-- Run at start with the game's globals as its own: what it sets becomes a global.
achievementList = {}
