local function build(n, previous)
  local parts = {}
  local longest = ""
  for i = 0, n - 1 do
    local line = "item" .. i .. ":" .. (i % 7) .. "-" .. (i * 13 % 1000)
    if line > longest then longest = line end
    parts[i + 1] = line
  end
  local joined = table.concat(parts, ",")
  local sum = strhash(longest) + strhash(parts[n])
  if joined > previous then sum = sum + 1 end
  return sum, joined
end
local function rounds(n)
  local total = 0
  local previous = ""
  for r = 0, n - 1 do
    local sum, joined = build(20000 + r, previous)
    total = (total + sum) % 1000000007
    previous = joined
  end
  local s = ""
  for r = 0, 2999 do s = s .. (r % 10) end
  return total + strhash(s)
end
out(rounds(40))
