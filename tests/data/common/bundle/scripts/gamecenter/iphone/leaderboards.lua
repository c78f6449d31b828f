level1 = {id = "test.level1"}
