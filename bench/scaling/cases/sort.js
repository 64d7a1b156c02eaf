function byValue(p, q) { return p - q; }
var a = [], i, x = 1;
for (i = 0; i < N; i++) { x = (x * 1103515245 + 12345) % 2147483648; a.push(x); }
a.sort(byValue);
out(a[0] <= a[N - 1]);
