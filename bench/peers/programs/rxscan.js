// engines: quorv qjs duk mujs
// A g-flag exec loop and a replace over one text of 120 KB: each match
// must cost what the match reads, not a pass over the whole text.
function makeText() {
  var parts = [];
  var i;
  for (i = 0; i < 4000; i++) parts.push("word" + (i % 89) + " alpha " + (i * 7 % 1000) + " beta;");
  return parts.join("");
}
function run(rounds) {
  var text, re, m, total, r, k;
  text = makeText();
  total = text.length;
  for (r = 0; r < rounds; r++) {
    re = /[a-z]+[0-9]*/g;
    k = 0;
    while ((m = re.exec(text)) != null) {
      k++;
      total = (total + m[0].length + m.index % 7) % 1000000007;
    }
    total = (total + k) % 1000000007;
    total = (total + text.replace(/[0-9]+/g, "#").length) % 1000000007;
  }
  return total;
}
out(run(12));
