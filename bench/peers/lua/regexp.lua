-- Regular expressions (Lua patterns): words of letters then digits found
-- in generated lines, digits replaced, lines tested against an anchored
-- pattern.
local function makeLine(i)
  return "item" .. i .. " alpha" .. (i % 97) .. " x " .. (i * 7 % 1000) .. "beta gamma" .. (i % 13)
end
local function run(n)
  local total = 0
  for i = 0, n - 1 do
    local line = makeLine(i)
    local found = 0
    for _ in string.gmatch(line, "%l+%d+") do found = found + 1 end
    total = (total + found * 7) % 1000000007
    local replaced = string.gsub(line, "%d", "#")
    total = (total + #replaced) % 1000000007
    if string.find(line, "^item%d+ ") then total = (total + 1) % 1000000007 end
  end
  return total
end
out(run(60000))
