#include "script/values/heap.h"

#include <algorithm>

namespace plumex::script {

Heap::~Heap() { releaseAll(); }

void Heap::sweep() {
  Cell* dead = nullptr;
  Cell** link = &head_;
  std::size_t live = 0;
  std::size_t cells = 0;
  while (Cell* c = *link) {
    if (c->marked_) {
      c->marked_ = false;
      live += c->byteSize();
      ++cells;
      link = &c->next_;
    } else {
      *link = c->next_;
      if (c->finalizable_) {
        c->next_ = dead;
        dead = c;
      } else {
        // Nothing can look at a dead cell without a finaliser any more:
        // finalisers get their instance and class, never the engine's
        // cells.
        delete c;
      }
    }
  }
  stats_.liveBytes = live;
  stats_.cells = cells;
  stats_.allocatedSince = 0;
  stats_.threshold = std::max(kMinThreshold, live);
  ++stats_.collections;
  finalizeAndFree(dead);
}

void Heap::clearMarks() {
  for (Cell* c = head_; c; c = c->next_) c->marked_ = false;
}

void Heap::releaseAll() {
  Cell* all = head_;
  head_ = nullptr;
  finalizeAndFree(all);
  // A finaliser may allocate; those cells die with the rest.
  while (head_) {
    all = head_;
    head_ = nullptr;
    finalizeAndFree(all);
  }
  stats_.liveBytes = 0;
  stats_.cells = 0;
}

void Heap::finalizeAndFree(Cell* dead) {
  const bool outer = !finalizing_;
  finalizing_ = true;
  for (FinalizeOrder order : {FinalizeOrder::Instance, FinalizeOrder::Class})
    for (Cell* c = dead; c; c = c->next_)
      if (c->finalizeOrder() == order) c->finalize(*this);
  if (outer) finalizing_ = false;
  while (dead) {
    Cell* next = dead->next_;
    delete dead;
    dead = next;
  }
}

} // namespace plumex::script
