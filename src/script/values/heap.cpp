#include "script/values/heap.h"

#include <algorithm>
#include <bit>

#if defined(__SANITIZE_ADDRESS__)
#define PLUMEX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLUMEX_ASAN 1
#endif
#endif
#if defined(PLUMEX_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace plumex::script {

namespace {

// Free slots are poisoned under the address sanitizer, so that a use of a
// dead cell is caught until its slot is used again.
inline void poison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t bytes) {
#if defined(PLUMEX_ASAN)
  ASAN_POISON_MEMORY_REGION(p, bytes);
#endif
}
inline void unpoison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t bytes) {
#if defined(PLUMEX_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(p, bytes);
#endif
}

} // namespace

// A chunk's header sits at its start: the chunk is aligned to its size, so
// a cell's chunk is its address rounded down. Bits of `used` past the last
// slot are set and stay set, so the allocator never hands them out.
struct Heap::Chunk {
  static constexpr std::size_t kWords = (kChunkBytes / kGranule + 63) / 64;
  std::uint64_t used[kWords];
  std::uint32_t slotBytes;
  std::uint32_t slots;
  std::uint32_t words;
  std::uint64_t lastMask;  // the bits of the last word that are slots

  static constexpr std::size_t kHeader = (sizeof(std::uint64_t) * kWords + 32 + kGranule - 1) / kGranule * kGranule;

  std::byte* slot(std::size_t i) { return reinterpret_cast<std::byte*>(this) + kHeader + i * slotBytes; }
  std::uint64_t slotBits(std::size_t w) const { return w + 1 == words ? used[w] & lastMask : used[w]; }

  static Chunk* create() { return static_cast<Chunk*>(::operator new(kChunkBytes, std::align_val_t{kChunkBytes})); }
  // Makes the chunk an empty one of slotBytes slots.
  void format(std::size_t bytes) {
    slotBytes = static_cast<std::uint32_t>(bytes);
    slots = static_cast<std::uint32_t>((kChunkBytes - kHeader) / slotBytes);
    words = (slots + 63) / 64;
    const std::uint32_t tail = slots % 64;
    lastMask = tail == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << tail) - 1;
    std::fill(std::begin(used), std::end(used), ~std::uint64_t{0});
    std::fill(used, used + words, 0);
    used[words - 1] = ~lastMask;
    poison(slot(0), kChunkBytes - kHeader);
  }
  static void release(Chunk* c) {
    unpoison(c->slot(0), kChunkBytes - kHeader);
    ::operator delete(c, std::align_val_t{kChunkBytes});
  }

  static Chunk* of(void* cell) {
    return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(cell) & ~std::uintptr_t{kChunkBytes - 1});
  }
  void clear(void* cell) {
    const std::size_t i = static_cast<std::size_t>(static_cast<std::byte*>(cell) - slot(0)) / slotBytes;
    used[i / 64] &= ~(std::uint64_t{1} << (i % 64));
    poison(cell, slotBytes);
  }
};

Heap::~Heap() {
  static_assert(sizeof(Chunk) <= Chunk::kHeader);
  releaseAll();
}

void* Heap::allocateCell(std::uint8_t sizeClass, std::size_t bytes) {
  if (sizeClass == 0) return ::operator new(bytes);
  Pool& pool = pools_[sizeClass];
  while (pool.chunk < pool.chunks.size()) {
    Chunk* c = pool.chunks[pool.chunk];
    for (; pool.word < c->words; ++pool.word) {
      const std::uint64_t free = ~c->used[pool.word];
      if (free != 0) {
        const int bit = std::countr_zero(free);
        c->used[pool.word] |= std::uint64_t{1} << bit;
        std::byte* p = c->slot(pool.word * 64 + static_cast<std::size_t>(bit));
        unpoison(p, bytes);
        return p;
      }
    }
    ++pool.chunk;
    pool.word = 0;
  }
  Chunk* c;
  if (!spare_.empty()) {
    c = spare_.back();
    spare_.pop_back();
  } else {
    c = Chunk::create();
    stats_.chunkBytes += kChunkBytes;
  }
  c->format(std::size_t{sizeClass} * kGranule);
  pool.chunks.push_back(c);
  ++chunksInUse_;
  pool.chunk = pool.chunks.size() - 1;
  pool.word = 0;
  return allocateCell(sizeClass, bytes);
}

void Heap::freeCell(void* memory, std::uint8_t sizeClass) {
  if (sizeClass == 0) {
    ::operator delete(memory);
    return;
  }
  Chunk::of(memory)->clear(memory);
  // The slot is free again: let the search find it.
  Pool& pool = pools_[sizeClass];
  pool.chunk = 0;
  pool.word = 0;
}

void Heap::destroy(Cell* cell) {
  finalizableCells_ -= cell->finalizable_;
  const std::uint8_t sizeClass = cell->sizeClass_;
  cell->~Cell();
  freeCell(cell, sizeClass);
}

void Heap::sweepChunks(std::uint8_t sizeClass, std::size_t& live, std::size_t& cells) {
  Pool& pool = pools_[sizeClass];
  auto kept = pool.chunks.begin();
  for (Chunk* c : pool.chunks) {
    bool inUse = false;
    for (std::size_t w = 0; w < c->words; ++w) {
      for (std::uint64_t bits = c->slotBits(w); bits != 0; bits &= bits - 1) {
        const int bit = std::countr_zero(bits);
        Cell* cell = reinterpret_cast<Cell*>(c->slot(w * 64 + static_cast<std::size_t>(bit)));
        if (cell->marked_) {
          cell->marked_ = false;
          live += cell->byteSize();
          ++cells;
          inUse = true;
        } else if (cell->finalizable_) {
          dead_.push_back(cell);
          inUse = true;
        } else {
          // Nothing can look at a dead cell without a finaliser any more:
          // finalisers get their instance and class, never the engine's
          // cells.
          cell->~Cell();
          c->used[w] &= ~(std::uint64_t{1} << bit);
          poison(cell, c->slotBytes);
        }
      }
    }
    if (inUse) {
      *kept++ = c;
    } else {
      spare_.push_back(c);
      --chunksInUse_;
    }
  }
  pool.chunks.erase(kept, pool.chunks.end());
  pool.chunk = 0;
  pool.word = 0;
}

void Heap::trimSpareChunks() {
  const std::size_t keep = std::max(kMinSpareChunks, chunksInUse_);
  while (spare_.size() > keep) {
    Chunk::release(spare_.back());
    spare_.pop_back();
    stats_.chunkBytes -= kChunkBytes;
  }
}

void* Heap::takeBlock(std::size_t& bytes) {
  // The smallest kept block that fits, unless it is much larger than asked
  // for: a small buffer would hold memory that a large one wants.
  const auto best = std::lower_bound(blocks_.begin(), blocks_.end(), bytes,
                                     [](const Block& b, std::size_t n) { return b.bytes < n; });
  if (best == blocks_.end() || best->bytes / 4 > bytes) return ::operator new(bytes);
  void* memory = best->memory;
  bytes = best->bytes;
  blockBytes_ -= bytes;
  blocks_.erase(best);
  unpoison(memory, bytes);
  return memory;
}

void Heap::giveBlock(void* block, std::size_t bytes) noexcept {
  // Called from destructors: a list that cannot grow frees the block.
  try {
    // Smallest first: the large ones, the dearest to fault in anew, go last.
    const auto at = std::upper_bound(blocks_.begin(), blocks_.end(), bytes,
                                     [](std::size_t n, const Block& b) { return n < b.bytes; });
    blocks_.insert(at, Block{block, bytes, stats_.collections});
  } catch (const std::bad_alloc&) {
    ::operator delete(block);
    return;
  }
  // Kept memory belongs to nothing: a use of a dead buffer is caught.
  poison(block, bytes);
  blockBytes_ += bytes;
  // Between collections, buffers that growing arrays leave behind are kept
  // up to what is alive.
  trimBlocks(std::max(kMinThreshold, stats_.liveBytes));
}

void Heap::trimBlocks(std::size_t keep) {
  std::size_t drop = 0;
  while (blockBytes_ > keep) {
    unpoison(blocks_[drop].memory, blocks_[drop].bytes);
    ::operator delete(blocks_[drop].memory);
    blockBytes_ -= blocks_[drop].bytes;
    ++drop;
  }
  blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(drop));
}

void Heap::sweepBlocks() {
  // What no array took since the collection before goes back. Of the
  // rest, the largest blocks are kept, up to what the heap may grow by
  // before the next collection or twice the largest block: the buffers of
  // arrays that just died are what the next arrays of their size want.
  std::size_t largest = 0;
  std::erase_if(blocks_, [&](const Block& b) {
    if (b.cycle + 2 <= stats_.collections) {
      unpoison(b.memory, b.bytes);
      ::operator delete(b.memory);
      blockBytes_ -= b.bytes;
      return true;
    }
    largest = std::max(largest, b.bytes);
    return false;
  });
  trimBlocks(std::max(stats_.threshold, 2 * largest));
}

void Heap::sweep() {
  std::size_t live = 0;
  std::size_t cells = 0;
  dead_.clear();
  // Nothing below may fail: empty chunks need room on the spare list.
  spare_.reserve(spare_.size() + chunksInUse_);
  for (std::uint8_t sizeClass = 1; sizeClass < kClasses; ++sizeClass) sweepChunks(sizeClass, live, cells);
  trimSpareChunks();
  auto kept = large_.begin();
  for (Cell* c : large_) {
    if (c->marked_) {
      c->marked_ = false;
      live += c->byteSize();
      ++cells;
      *kept++ = c;
    } else if (c->finalizable_) {
      dead_.push_back(c);
    } else {
      destroy(c);
    }
  }
  large_.erase(kept, large_.end());
  stats_.liveBytes = live;
  stats_.cells = cells;
  stats_.allocatedSince = 0;
  stats_.threshold = std::max(kMinThreshold, live / 4);
  ++stats_.collections;
  finalizeAndFreeDead();
  sweepBlocks();
}

void Heap::clearMarks() {
  for (Pool& pool : pools_)
    for (Chunk* c : pool.chunks)
      for (std::size_t w = 0; w < c->words; ++w)
        for (std::uint64_t bits = c->slotBits(w); bits != 0; bits &= bits - 1)
          reinterpret_cast<Cell*>(c->slot(w * 64 + static_cast<std::size_t>(std::countr_zero(bits))))->marked_ = false;
  for (Cell* c : large_) c->marked_ = false;
}

void Heap::forEachCell(const std::function<void(Cell*)>& visit) {
  for (Pool& pool : pools_)
    for (Chunk* c : pool.chunks)
      for (std::size_t w = 0; w < c->words; ++w)
        for (std::uint64_t bits = c->slotBits(w); bits != 0; bits &= bits - 1)
          visit(reinterpret_cast<Cell*>(c->slot(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)))));
  for (Cell* c : large_) visit(c);
}

void Heap::takeAll() {
  dead_.clear();
  dead_.swap(large_);
  for (Pool& pool : pools_)
    for (Chunk* c : pool.chunks)
      for (std::size_t w = 0; w < c->words; ++w)
        for (std::uint64_t bits = c->slotBits(w); bits != 0; bits &= bits - 1)
          dead_.push_back(reinterpret_cast<Cell*>(c->slot(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)))));
}

void Heap::releaseAll() {
  // A finaliser may allocate; those cells die in the next round.
  for (takeAll(); !dead_.empty(); takeAll()) finalizeAndFreeDead();
  for (Pool& pool : pools_) {
    for (Chunk* c : pool.chunks) Chunk::release(c);
    pool = Pool{};
  }
  for (Chunk* c : spare_) Chunk::release(c);
  spare_.clear();
  trimBlocks(0);
  chunksInUse_ = 0;
  stats_.liveBytes = 0;
  stats_.cells = 0;
  stats_.chunkBytes = 0;
}

void Heap::finalizeAndFreeDead() {
  // A finaliser may make cells (never collect): take the list first, so
  // that what they make is not freed with it.
  std::vector<Cell*> dead;
  dead.swap(dead_);
  const bool outer = !finalizing_;
  finalizing_ = true;
  for (FinalizeOrder order : {FinalizeOrder::Instance, FinalizeOrder::Class})
    for (Cell* c : dead)
      if (c->finalizeOrder() == order) c->finalize(*this);
  if (outer) finalizing_ = false;
  for (Cell* c : dead) destroy(c);
  // Keep the larger room: finalisers that made cells grew the other list.
  dead.clear();
  if (dead.capacity() > dead_.capacity()) dead_.swap(dead);
}

} // namespace plumex::script
