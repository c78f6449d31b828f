achievementsLoaded = true
