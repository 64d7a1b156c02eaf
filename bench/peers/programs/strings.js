// String building: numbers and pieces concatenated into lines, lines
// compared and joined, and a text grown by repeated concatenation. Only
// short texts are hashed: some engines index long strings slowly.
function build(n, previous) {
  var parts, i, line, longest, joined, result;
  parts = new Array();
  longest = "";
  for (i = 0; i < n; i++) {
    line = "item" + i + ":" + (i % 7) + "-" + (i * 13 % 1000);
    if (line > longest) longest = line;
    parts[i] = line;
  }
  joined = parts.join(",");
  result = new Array();
  result[0] = strhash(longest) + strhash(parts[n - 1]);
  if (joined > previous) result[0] += 1;
  result[1] = joined;
  return result;
}
function rounds(n) {
  var r, total, s, previous, step;
  total = 0;
  previous = "";
  for (r = 0; r < n; r++) {
    step = build(20000 + r, previous);
    total = (total + step[0]) % 1000000007;
    previous = step[1];
  }
  s = "";
  for (r = 0; r < 3000; r++) s = s + (r % 10);
  return total + strhash(s);
}
out(rounds(40));
