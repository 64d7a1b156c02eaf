// String building: pieces and numbers appended with +=, and arrays of
// pieces joined.
function run(n) {
  var s, parts, i, total, round;
  total = 0;
  for (round = 0; round < 8; round++) {
    s = "";
    for (i = 0; i < n; i++) {
      s += "k";
      s += i % 1000;
      s += ",";
    }
    total = (total + s.length + strhash(s.substring(s.length - 20))) % 1000000007;
    parts = [];
    for (i = 0; i < n; i++) parts.push("p" + (i % 977));
    s = parts.join(";");
    total = (total + s.length) % 1000000007;
  }
  return total;
}
out(run(200000));
