level1 = {id = "demo.level1", name = "Level 1"}
