var o = {}, i, k = 0;
for (i = 0; i < N; i++) o["k" + i] = i;
for (i = 0; i < N; i++) k += o["k" + i];
out(k);
