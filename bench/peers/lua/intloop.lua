local function mix(n)
  local acc = 0
  for i = 0, n - 1 do
    for j = 0, 99 do
      acc = (acc * 3 + i * j + (i ~ j)) % 1000003
    end
  end
  return acc
end
out(mix(250000))
