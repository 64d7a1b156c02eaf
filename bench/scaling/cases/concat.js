var s = "", i;
for (i = 0; i < N; i++) { s += "ab"; s += i % 10; }
out(s.length);
