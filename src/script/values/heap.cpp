#include "script/values/heap.h"

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#define PLUMEX_SYSTEM_CELLS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLUMEX_SYSTEM_CELLS 1
#endif
#endif

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
        destroy(c);
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

void* Heap::allocateCell(std::uint8_t sizeClass, std::size_t bytes) {
#if defined(PLUMEX_SYSTEM_CELLS)
  // Under the address sanitizer every cell comes from the system, so that
  // a use after free is caught.
  sizeClass = 0;
#endif
  if (sizeClass == 0) return ::operator new(bytes);
  if (FreeBlock* b = freeLists_[sizeClass]) {
    freeLists_[sizeClass] = b->next;
    return b;
  }
  const std::size_t size = std::size_t{sizeClass} * kGranule;
  if (chunkLeft_ < size) {
    chunks_.emplace_back(new std::byte[kChunkBytes]);
    chunkNext_ = chunks_.back().get();
    chunkLeft_ = kChunkBytes;
  }
  void* memory = chunkNext_;
  chunkNext_ += size;
  chunkLeft_ -= size;
  return memory;
}

void Heap::freeCell(void* memory, std::uint8_t sizeClass) {
#if defined(PLUMEX_SYSTEM_CELLS)
  sizeClass = 0;
#endif
  if (sizeClass == 0) {
    ::operator delete(memory);
    return;
  }
  auto* b = static_cast<FreeBlock*>(memory);
  b->next = freeLists_[sizeClass];
  freeLists_[sizeClass] = b;
}

void Heap::destroy(Cell* cell) {
  const std::uint8_t sizeClass = cell->sizeClass_;
  cell->~Cell();
  freeCell(cell, sizeClass);
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
    destroy(dead);
    dead = next;
  }
}

} // namespace plumex::script
