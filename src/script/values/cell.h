#pragma once
// Base of every record on the engine heap. Cells never move: native code
// keeps raw pointers to them between collection checkpoints.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/values/value.h"

namespace plumex::script {

class Cell;
class Heap;

// The mark phase's worklist: marking pushes newly reached cells and the
// collector drains the list, so deep structures never recurse natively.
class Tracer {
public:
  void mark(Cell* cell);
  void mark(const Value& v) {
    if (v.is(Kind::String)) markString(v.u.p);
    else if (v.refersToHeap()) mark(static_cast<Cell*>(v.u.p));
  }
  void drain();
  // Forgets what a mark phase that could not finish left to trace.
  void reset() { gray_.clear(); }

private:
  // Strings are most of what arrays hold and nearly never have a table:
  // they are marked without a trip through the worklist.
  void markString(void* record);

  // Kept between collections: it grows to the widest array once, not at
  // every collection.
  std::vector<Cell*> gray_;
};

// When a dead cell's finaliser runs within a sweep: instances before the
// classes whose data their finalisers may still use.
enum class FinalizeOrder { None, Instance, Class };

class Cell {
public:
  Cell() = default;
  Cell(const Cell&) = delete;
  Cell& operator=(const Cell&) = delete;
  virtual ~Cell() = default;

  // Marks every cell this one refers to.
  virtual void trace(Tracer&) {}
  // Bytes this cell holds, itself and its buffers, for the collector's pacing.
  virtual std::size_t byteSize() const = 0;
  virtual FinalizeOrder finalizeOrder() const { return FinalizeOrder::None; }
  virtual void finalize(Heap&) {}

  bool isMarked() const { return marked_; }

private:
  friend class Heap;
  friend class Tracer;
  // The header is the virtual table and these flags; a record's own
  // fields start right after them, so small records stay small.
  bool marked_ = false;
  // Whether finalizeOrder() is not None, read once when the cell is made.
  bool finalizable_ = false;
  // The heap's size class of the cell's memory (0: from the system).
  std::uint8_t sizeClass_ = 0;
};

inline void Tracer::mark(Cell* cell) {
  if (cell && !cell->marked_) {
    cell->marked_ = true;
    gray_.push_back(cell);
  }
}

inline void Tracer::drain() {
  while (!gray_.empty()) {
    Cell* c = gray_.back();
    gray_.pop_back();
    c->trace(*this);
  }
}

} // namespace plumex::script
