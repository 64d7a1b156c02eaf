// Integer arithmetic in nested loops: +, *, %, ^ and comparisons.
function mix(n) {
  var i, j, acc;
  acc = 0;
  for (i = 0; i < n; i++) {
    for (j = 0; j < 100; j++) {
      acc = (acc * 3 + i * j + (i ^ j)) % 1000003;
    }
  }
  return acc;
}
out(mix(250000));
