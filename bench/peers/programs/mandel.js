// Floating point: escape counts over a grid of the Mandelbrot set.
function escapeCount(cr, ci, limit) {
  var zr, zi, t, k;
  zr = 0.0;
  zi = 0.0;
  for (k = 0; k < limit; k++) {
    t = zr * zr - zi * zi + cr;
    zi = 2.0 * zr * zi + ci;
    zr = t;
    if (zr * zr + zi * zi > 4.0) return k;
  }
  return limit;
}
function mandel(size, limit) {
  var x, y, total;
  total = 0;
  for (y = 0; y < size; y++) {
    for (x = 0; x < size; x++) {
      total += escapeCount(x * 3.0 / size - 2.0, y * 2.5 / size - 1.25, limit);
    }
  }
  return total;
}
out(mandel(500, 200));
