var a = [], i, k = 0;
for (i = 0; i < N; i++) a[i] = i;
for (i = 0; i < N; i++) k += a[i];
out(k);
