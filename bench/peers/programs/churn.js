// Allocation churn: short-lived binary trees, built and counted.
function Node(left, right) {
  this.left = left;
  this.right = right;
}
function make(depth) {
  if (depth == 0) return new Node(null, null);
  return new Node(make(depth - 1), make(depth - 1));
}
function count(node) {
  if (node.left == null) return 1;
  return 1 + count(node.left) + count(node.right);
}
function churn(maxDepth) {
  var longLived, depth, iterations, i, total;
  longLived = make(maxDepth);
  total = 0;
  for (depth = 4; depth <= maxDepth; depth += 2) {
    iterations = 1 << (maxDepth - depth + 4);
    for (i = 0; i < iterations; i++) total += count(make(depth));
  }
  return total + count(longLived);
}
out(churn(14));
