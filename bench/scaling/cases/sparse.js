var a = [], i, k = 0;
for (i = 0; i < N; i++) a[i * 1000 + 7] = i;
for (i = 0; i < N; i++) k += a[i * 1000 + 7];
out(k);
