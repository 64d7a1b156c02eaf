-- Many small objects alive at once (peak memory).
local function make(depth)
  local node = {left = false, right = false}
  if depth > 0 then
    node.left = make(depth - 1)
    node.right = make(depth - 1)
  end
  return node
end
local function check(node)
  if not node.left then return 1 end
  return 1 + check(node.left) + check(node.right)
end
local keep = make(18)
local total = 0
for i = 1, 40 do total = (total + check(make(12))) % 1000000007 end
out((total + check(keep)) % 1000000007)
