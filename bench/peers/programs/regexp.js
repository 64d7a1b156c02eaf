// Regular expressions: words of letters then digits found in generated
// lines, digits replaced, lines tested against an anchored pattern.
function makeLine(i) {
  return "item" + i + " alpha" + (i % 97) + " x " + (i * 7 % 1000) + "beta gamma" + (i % 13);
}
function run(n) {
  var i, line, found, total, replaced, words, anchored;
  total = 0;
  words = /[a-z]+[0-9]+/g;
  anchored = /^item[0-9]+ /;
  for (i = 0; i < n; i++) {
    line = makeLine(i);
    found = line.match(words);
    total = (total + found.length * 7) % 1000000007;
    replaced = line.replace(/[0-9]/g, "#");
    total = (total + replaced.length) % 1000000007;
    if (anchored.test(line)) total = (total + 1) % 1000000007;
  }
  return total;
}
out(run(60000));
