-- String building: the idiomatic Lua forms (a table of pieces, concat).
local function run(n)
  local total = 0
  for round = 1, 8 do
    local pieces = {}
    for i = 0, n - 1 do
      pieces[#pieces + 1] = "k"
      pieces[#pieces + 1] = tostring(i % 1000)
      pieces[#pieces + 1] = ","
    end
    local s = table.concat(pieces)
    total = (total + #s + strhash(string.sub(s, #s - 19))) % 1000000007
    local parts = {}
    for i = 0, n - 1 do parts[i + 1] = "p" .. (i % 977) end
    s = table.concat(parts, ";")
    total = (total + #s) % 1000000007
  end
  return total
end
out(run(200000))
