local function fill(list, n, seed)
  local x = seed
  for i = 0, n - 1 do
    x = (x * 16807) % 2147483647
    list[i] = x % 1000000
  end
end
local function quicksort(list, lo, hi)
  while lo < hi do
    local pivot = list[(lo + hi) >> 1]
    local i, j = lo, hi
    while i <= j do
      while list[i] < pivot do i = i + 1 end
      while list[j] > pivot do j = j - 1 end
      if i <= j then
        list[i], list[j] = list[j], list[i]
        i = i + 1
        j = j - 1
      end
    end
    if j - lo < hi - i then
      quicksort(list, lo, j)
      lo = i
    else
      quicksort(list, i, hi)
      hi = j
    end
  end
end
local function check(n, seed)
  local list = {}
  fill(list, n, seed)
  quicksort(list, 0, n - 1)
  local sum = 0
  for i = 1, n - 1 do
    if list[i - 1] > list[i] then return -1 end
    sum = (sum + list[i] * (i % 100)) % 1000000007
  end
  return sum
end
out(check(500000, 42) + check(250000, 7))
