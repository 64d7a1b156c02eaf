-- What every Lua port may call.
out = print
function strhash(s)
  local h = 0
  for i = 1, #s do h = (h * 31 + string.byte(s, i)) % 1000000007 end
  return h
end
