-- Read at start into the global starTable (the engine loads it if it is there).
level1 = {100, 200, 300}
