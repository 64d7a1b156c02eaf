local function make(depth)
  if depth == 0 then return {left = nil, right = nil} end
  return {left = make(depth - 1), right = make(depth - 1)}
end
local function count(node)
  if node.left == nil then return 1 end
  return 1 + count(node.left) + count(node.right)
end
local function churn(maxDepth)
  local longLived = make(maxDepth)
  local total = 0
  for depth = 4, maxDepth, 2 do
    local iterations = 1 << (maxDepth - depth + 4)
    for i = 1, iterations do total = total + count(make(depth)) end
  end
  return total + count(longLived)
end
out(churn(14))
