var text = "", i;
for (i = 0; i < N; i++) text += "ab1 ";
out(text.replace(/[0-9]/g, "#").length);
