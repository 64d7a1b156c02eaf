// What every peer program may call, for the JavaScript shells.
function out(x) { print(x); }
function strhash(s) {
  var h = 0;
  var i;
  for (i = 0; i < s.length; i++) h = (h * 31 + s.charCodeAt(i)) % 1000000007;
  return h;
}
