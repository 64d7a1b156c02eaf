var text = "", i;
for (i = 0; i < N; i++) text += "ab,";
out(text.split(",").length);
