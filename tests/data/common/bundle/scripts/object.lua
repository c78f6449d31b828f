answer = 42
hasGame = gamelua ~= nil
