local function escapeCount(cr, ci, limit)
  local zr, zi = 0.0, 0.0
  for k = 0, limit - 1 do
    local t = zr * zr - zi * zi + cr
    zi = 2.0 * zr * zi + ci
    zr = t
    if zr * zr + zi * zi > 4.0 then return k end
  end
  return limit
end
local function mandel(size, limit)
  local total = 0
  for y = 0, size - 1 do
    for x = 0, size - 1 do
      total = total + escapeCount(x * 3.0 / size - 2.0, y * 2.5 / size - 1.25, limit)
    end
  end
  return total
end
out(mandel(500, 200))
