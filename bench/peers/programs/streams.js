// engines: quorv lua
// Byte streams: 4 MB written and then read back by bytes, by shorts and by
// longs, in memory (StringStream) and in a temporary file (FileStream).
// Reads are signed; each checksum step adds an offset that keeps it
// non-negative, so that every engine's % agrees.
var M = 1000000007;
var MB4 = 4194304;
function bytes(s, rewind) {
  var i, sum;
  for (i = 0; i < MB4; i++) s.put(i & 255);
  if (rewind) s.pos = 0;
  sum = 0;
  for (i = 0; i < MB4; i++) sum = (sum * 31 + s.get()) % M;
  return sum;
}
function shorts(s, rewind) {
  var i, sum;
  for (i = 0; i < MB4 / 2; i++) s.putShort(i * 40503);
  if (rewind) s.pos = 0;
  sum = 0;
  for (i = 0; i < MB4 / 2; i++) sum = (sum * 31 + s.getShort() + 32768) % M;
  return sum;
}
function longs(s, rewind) {
  var i, sum;
  for (i = 0; i < MB4 / 4; i++) s.write(i * 2654435761);
  if (rewind) s.pos = 0;
  sum = 0;
  for (i = 0; i < MB4 / 4; i++) sum = (sum * 31 + s.getLong() + 2147483648) % M;
  return sum;
}
// A StringStream reads from a position of its own; a file is rewound.
function both(phase) {
  var f, sum;
  f = new FileStream();
  sum = phase(new StringStream(), false) + phase(f, true);
  f.close();
  return sum;
}
out((both(bytes) + both(shorts) + both(longs)) % M);
