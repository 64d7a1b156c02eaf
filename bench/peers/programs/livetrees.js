// Many small objects alive at once: a long-lived binary tree of depth 18
// and short-lived trees made beside it (peak memory).
function make(depth) {
  var node = {left: null, right: null};
  if (depth > 0) {
    node.left = make(depth - 1);
    node.right = make(depth - 1);
  }
  return node;
}
function check(node) {
  if (node.left == null) return 1;
  return 1 + check(node.left) + check(node.right);
}
function run() {
  var keep, total, i;
  keep = make(18);
  total = 0;
  for (i = 0; i < 40; i++) total = (total + check(make(12))) % 1000000007;
  return (total + check(keep)) % 1000000007;
}
out(run());
