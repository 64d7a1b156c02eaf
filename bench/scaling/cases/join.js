var parts = [], i;
for (i = 0; i < N; i++) parts.push("p" + i % 100);
out(parts.join(";").length);
