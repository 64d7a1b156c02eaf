// Sorting: a quicksort over pseudo-random integers (a Park-Miller
// generator, whose products stay exact in doubles).
function fill(list, n, seed) {
  var i, x;
  x = seed;
  for (i = 0; i < n; i++) {
    x = (x * 16807) % 2147483647;
    list[i] = x % 1000000;
  }
}
function quicksort(list, lo, hi) {
  var i, j, pivot, t;
  while (lo < hi) {
    pivot = list[(lo + hi) >> 1];
    i = lo;
    j = hi;
    while (i <= j) {
      while (list[i] < pivot) i++;
      while (list[j] > pivot) j--;
      if (i <= j) {
        t = list[i];
        list[i] = list[j];
        list[j] = t;
        i++;
        j--;
      }
    }
    if (j - lo < hi - i) {
      quicksort(list, lo, j);
      lo = i;
    } else {
      quicksort(list, i, hi);
      hi = j;
    }
  }
}
function check(n, seed) {
  var list, i, sum;
  list = new Array();
  fill(list, n, seed);
  quicksort(list, 0, n - 1);
  sum = 0;
  for (i = 1; i < n; i++) {
    if (list[i - 1] > list[i]) return -1;
    sum = (sum + list[i] * (i % 100)) % 1000000007;
  }
  return sum;
}
out(check(500000, 42) + check(250000, 7));
