local function particleMove(self, width, height)
  self.x = self.x + self.dx
  self.y = self.y + self.dy
  if self.x < 0 or self.x >= width then self.dx = -self.dx; self.x = self.x + 2 * self.dx end
  if self.y < 0 or self.y >= height then self.dy = -self.dy; self.y = self.y + 2 * self.dy end
end
local function particleEnergy(self)
  return self.dx * self.dx + self.dy * self.dy + self.x % 7
end
local function Particle(x, y, dx, dy)
  return {x = x, y = y, dx = dx, dy = dy, move = particleMove, energy = particleEnergy}
end
local function simulate(count, steps)
  local list = {}
  for i = 0, count - 1 do list[i] = Particle(i % 640, (i * 7) % 480, i % 5 + 1, i % 3 - 1) end
  for s = 1, steps do
    for i = 0, count - 1 do list[i]:move(640, 480) end
  end
  local total = 0
  for i = 0, count - 1 do
    local p = list[i]
    total = total + p:energy() + p.x * 3 + p.y
  end
  return total
end
out(simulate(1000, 4000))
