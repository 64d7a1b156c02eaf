// Property access and method calls on constructed objects: constructors
// store their methods as properties that point at plain global functions.
function Particle(x, y, dx, dy) {
  this.x = x;
  this.y = y;
  this.dx = dx;
  this.dy = dy;
  this.move = particleMove;
  this.energy = particleEnergy;
}
function particleMove(width, height) {
  this.x += this.dx;
  this.y += this.dy;
  if (this.x < 0 || this.x >= width) { this.dx = -this.dx; this.x += 2 * this.dx; }
  if (this.y < 0 || this.y >= height) { this.dy = -this.dy; this.y += 2 * this.dy; }
}
function particleEnergy() {
  return this.dx * this.dx + this.dy * this.dy + this.x % 7;
}
function simulate(count, steps) {
  var list, i, s, p, total;
  list = new Array();
  for (i = 0; i < count; i++) list[i] = new Particle(i % 640, (i * 7) % 480, i % 5 + 1, i % 3 - 1);
  for (s = 0; s < steps; s++) {
    for (i = 0; i < count; i++) list[i].move(640, 480);
  }
  total = 0;
  for (i = 0; i < count; i++) {
    p = list[i];
    total += p.energy() + p.x * 3 + p.y;
  }
  return total;
}
out(simulate(1000, 4000));
