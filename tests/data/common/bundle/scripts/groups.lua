wood = {{definition = "W1"}, {definition = "W2"}}
stone = {{definition = "S1"}, extra = {definition = "SKIPPED"}}
notGroup = 5
