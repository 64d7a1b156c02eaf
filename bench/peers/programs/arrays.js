// Arrays: a sieve of Eratosthenes and sums over integer indices.
function sieve(limit) {
  var flags, i, j, count, sum;
  flags = new Array();
  for (i = 0; i <= limit; i++) flags[i] = 1;
  flags[0] = 0;
  flags[1] = 0;
  for (i = 2; i * i <= limit; i++) {
    if (flags[i] == 1) {
      for (j = i * i; j <= limit; j += i) flags[j] = 0;
    }
  }
  count = 0;
  sum = 0;
  for (i = 0; i <= limit; i++) {
    if (flags[i] == 1) { count++; sum = (sum + i) % 1000000007; }
  }
  return count * 1000 + sum % 1000;
}
function rounds(n) {
  var r, total;
  total = 0;
  for (r = 0; r < n; r++) total += sieve(200000 + r);
  return total;
}
out(rounds(40));
