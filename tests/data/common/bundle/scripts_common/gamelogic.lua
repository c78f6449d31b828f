-- Test game logic: records what the engine calls.
local table = _G.table
calls = {}
failed = {}
frames = 0
worldAttributes = {
	defaultGravityForceMultiplier = 7,
	simulationIterations = 12.7,
	simulationTimeStepMultiplier = 0.5,
	simulationStorePointsSampler = 3.9,
	simulationAimSpawnTime = 0.25,
	simulationAimSpeed = 2,
}
local function record(name) table.insert(calls, name) end
function updateValues() record("updateValues") end
function onLoadLuaFileFail(name) table.insert(failed, name) end
function createStartUpAssets()
	record("createStartUpAssets")
	-- A saved settings flag lets a test start a game that has no audio output.
	if not (_G.type(settings) == "table" and settings.testWithoutAudioOutput) then
		_G.res.createAudioOutput(2, 16, 44100)
	end
end
function update(scaledDt, dt) frames = frames + 1 end
function draw() end
function gameResumed() record("gameResumed") end
function gamePaused() record("gamePaused") end
function resolutionChanged() record("resolutionChanged") end
function applyForcesAtPhysicsStep() end
function removeBlocks() end
function clearLuaForceFunctions() end
-- A runtime error for the tests of error messages: they look for this file and this line.
function raiseAnError() local missing = nil return missing.field end
