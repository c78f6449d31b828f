#ifndef TESTS_GAME_SWEEP_H
#define TESTS_GAME_SWEEP_H

// A script that calls operations of a table with missing, wrong-typed and
// extreme arguments. sweep(t, names, skipValues) returns a list of the calls
// whose error did not name the operation; names in skipValues get only the
// calls without arguments and with wrong types.
inline const char* sweepScript()
{
	return R"(
local G = _G
function sweep(t, names, skipValues)
	local bad = {}
	local function try(name, ...)
		local ok, msg = G.pcall(t[name], ...)
		if not ok and (G.type(msg) ~= "string" or msg:sub(1, #name + 2) ~= name .. ": ") then
			bad[#bad + 1] = name .. " -> " .. G.tostring(msg)
		end
	end
	local wrongTypes = {true, {}, "text", 2, G.print}
	local extremes = {0/0, 1/0, -1/0, 1e300, -1e300, 2^31, "", "unknown", -7}
	for _, name in G.ipairs(names) do
		try(name)
		local skip = skipValues and skipValues[name]
		local values = {}
		for _, v in G.ipairs(wrongTypes) do values[#values + 1] = v end
		if not skip then for _, v in G.ipairs(extremes) do values[#values + 1] = v end end
		for _, v in G.ipairs(values) do
			for n = 1, 14 do
				local args = {}
				for i = 1, n do args[i] = v end
				try(name, G.unpack(args, 1, n))
				args[1] = "unknown"
				try(name, G.unpack(args, 1, n))
			end
		end
	end
	return bad
end
)";
}

#endif
