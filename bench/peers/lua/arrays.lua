local function sieve(limit)
  local flags = {}
  for i = 0, limit do flags[i] = 1 end
  flags[0] = 0
  flags[1] = 0
  local i = 2
  while i * i <= limit do
    if flags[i] == 1 then
      for j = i * i, limit, i do flags[j] = 0 end
    end
    i = i + 1
  end
  local count, sum = 0, 0
  for k = 0, limit do
    if flags[k] == 1 then count = count + 1; sum = (sum + k) % 1000000007 end
  end
  return count * 1000 + sum % 1000
end
local function rounds(n)
  local total = 0
  for r = 0, n - 1 do total = total + sieve(200000 + r) end
  return total
end
out(rounds(40))
