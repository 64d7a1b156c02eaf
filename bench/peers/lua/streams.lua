-- Byte streams with string.pack and string.unpack: 4 MB in a string built
-- from a table of pieces, and in a temporary file through io.
local M = 1000000007
local MB4 = 4194304

-- Each phase: how a value is packed, the count, and the offset that keeps
-- a signed value non-negative.
local phases = {
  {fmt = "B", size = 1, n = MB4, value = function(i) return i & 255 end, offset = 0},
  {fmt = "<i2", size = 2, n = MB4 // 2, value = function(i) return ((i * 40503) & 0xFFFF ~ 0x8000) - 0x8000 end,
   offset = 32768},
  {fmt = "<i4", size = 4, n = MB4 // 4,
   value = function(i) return ((i * 2654435761) & 0xFFFFFFFF ~ 0x80000000) - 0x80000000 end, offset = 2147483648},
}

local function inMemory(p)
  local pack, fmt, value = string.pack, p.fmt, p.value
  local pieces = {}
  for i = 0, p.n - 1 do pieces[i + 1] = pack(fmt, value(i)) end
  local s = table.concat(pieces)
  local unpack, sum, pos, v = string.unpack, 0, 1, 0
  for _ = 1, p.n do
    v, pos = unpack(fmt, s, pos)
    sum = (sum * 31 + v + p.offset) % M
  end
  return sum
end

local function inFile(p)
  local pack, fmt, value = string.pack, p.fmt, p.value
  local f = io.tmpfile()
  for i = 0, p.n - 1 do f:write(pack(fmt, value(i))) end
  f:seek("set", 0)
  local unpack, size, sum = string.unpack, p.size, 0
  for _ = 1, p.n do
    sum = (sum * 31 + unpack(fmt, f:read(size)) + p.offset) % M
  end
  f:close()
  return sum
end

local total = 0
for _, p in ipairs(phases) do total = total + inMemory(p) + inFile(p) end
out(total % M)
