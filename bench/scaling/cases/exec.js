var text = "", i, re = /[a-z]+/g, m, k = 0;
for (i = 0; i < N; i++) text += "word ";
while ((m = re.exec(text)) != null) k++;
out(k);
