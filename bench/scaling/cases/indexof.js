var text = "", i, at = 0, k = 0;
for (i = 0; i < N; i++) text += "abc ";
while ((at = text.indexOf("c", at)) >= 0) { k++; at++; }
out(k);
