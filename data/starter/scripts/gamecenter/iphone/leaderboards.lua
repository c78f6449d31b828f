-- Read at start into the global leaderboards (the engine loads it if it is there).
best = {id = "starter.best", name = "Best score"}
