#pragma once
// The engine heap: a non-moving mark and sweep collector, and pacing that
// lets the heap grow by a quarter of what is alive (at least
// kMinThreshold) before the next collection is due. Tighter pacing costs
// more marking, but less memory to fault in and to walk: on the
// benchmark programs it was no slower than letting the heap double, and
// peaks fell by a fifth to a third.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "script/values/cell.h"

namespace plumex::script {

struct HeapStats {
  std::size_t liveBytes = 0;        // bytes held after the last collection plus growth since
  std::size_t allocatedSince = 0;   // bytes allocated since the last collection
  std::size_t threshold = 0;        // allocatedSince at which a collection is due
  std::size_t cells = 0;
  std::size_t chunkBytes = 0;       // memory the heap holds for small cells
  std::uint64_t collections = 0;
};

class Heap {
public:
  static constexpr std::size_t kMinThreshold = 1048576;

  Heap() = default;
  Heap(const Heap&) = delete;
  Heap& operator=(const Heap&) = delete;
  ~Heap();

  template <class T, class... Args>
  T* make(Args&&... args) {
    return makeSized<T>(sizeof(T), std::forward<Args>(args)...);
  }
  // A cell of `bytes` bytes (at least sizeof(T)): the room past the object
  // is the cell's own, for records that keep their data inline.
  template <class T, class... Args>
  T* makeSized(std::size_t bytes, Args&&... args) {
    const std::uint8_t sizeClass = sizeClassOf(bytes);
    // Room on the lists first, so that nothing can fail once the cell is made.
    if (sizeClass == 0 && large_.size() == large_.capacity()) large_.reserve(std::max<std::size_t>(16, large_.size() * 2));
    if (dead_.capacity() <= finalizableCells_) dead_.reserve(std::max<std::size_t>(16, finalizableCells_ * 2));
    void* memory = allocateCell(sizeClass, bytes);
    T* cell;
    try {
      cell = new (memory) T(std::forward<Args>(args)...);
    } catch (...) {
      freeCell(memory, sizeClass);
      throw;
    }
    cell->sizeClass_ = sizeClass;
    cell->finalizable_ = cell->finalizeOrder() != FinalizeOrder::None;
    finalizableCells_ += cell->finalizable_;
    if (sizeClass == 0) large_.push_back(cell);
    ++stats_.cells;
    charge(bytes);
    return cell;
  }

  // Growth (or shrinkage) of a cell's own buffers.
  void charge(std::size_t bytes) {
    stats_.allocatedSince += bytes;
    stats_.liveBytes += bytes;
  }
  void credit(std::size_t bytes) {
    stats_.liveBytes = bytes > stats_.liveBytes ? 0 : stats_.liveBytes - bytes;
  }

  bool collectionDue() const { return stats_.allocatedSince >= stats_.threshold; }

  // Large element buffers. An array's buffer dies with the array, at a
  // collection, often just before another array grows to the same size:
  // the heap keeps such blocks for the next one, as it keeps empty chunks.
  // Memory from the system is faulted in page by page on first use, which
  // costs more than filling it. A block no array took by the collection
  // after the one that freed it goes back to the system.
  static constexpr std::size_t kBlockFrom = 64 * 1024;
  // A block of at least `bytes` bytes (at least kBlockFrom): a kept one
  // when one is large enough, else a new one; `bytes` becomes its size.
  void* takeBlock(std::size_t& bytes);
  // Takes back a block from takeBlock, of that size.
  void giveBlock(void* block, std::size_t bytes) noexcept;

  // Cells whose death is observable (live native instances with data).
  void addFinalisable() { ++finalisable_; }
  void removeFinalisable() { --finalisable_; }
  std::size_t finalisable() const { return finalisable_; }

  // Reclaims every unmarked cell (finalisers first: instances, then
  // classes) and clears the marks of the survivors.
  void sweep();
  // Forgets the marks of a mark phase that could not finish.
  void clearMarks();
  // Visits every cell the heap holds (none may be made or freed meanwhile).
  void forEachCell(const std::function<void(Cell*)>& visit);
  // Reclaims every cell, as at the end of an engine.
  void releaseAll();

  const HeapStats& stats() const { return stats_; }
  // True while finalisers run: the cells being released must not reach
  // script, so no script may run then.
  bool finalizing() const { return finalizing_; }

  // Cells up to kLargestPooled bytes live in chunks of one size class
  // each, found by a bitmap of the slots in use; larger ones come from the
  // system and sit on a list. The engine makes and drops small cells
  // (strings above all) at a rate the system allocator handles poorly, and
  // a sweep that walks chunks in address order reads memory the way the
  // processor prefetches it.
  static constexpr std::size_t kGranule = 16;
  static constexpr std::size_t kLargestPooled = 256;
  static constexpr std::size_t kChunkBytes = 64 * 1024;
  // A sweep keeps empty chunks, for any size class, up to as many as are
  // in use and at least this many: programs that make and drop many cells
  // need them again soon, and chunks given back to the system would come
  // back as fresh mappings, each page faulted in anew.
  static constexpr std::size_t kMinSpareChunks = kMinThreshold / kChunkBytes;

private:
  struct Chunk;
  static constexpr std::size_t kClasses = kLargestPooled / kGranule + 1;
  static std::uint8_t sizeClassOf(std::size_t bytes) {
    return bytes > kLargestPooled ? 0 : static_cast<std::uint8_t>((bytes + kGranule - 1) / kGranule);
  }
  void* allocateCell(std::uint8_t sizeClass, std::size_t bytes);
  void* allocateFromNewChunk(std::uint8_t sizeClass);
  void freeCell(void* memory, std::uint8_t sizeClass);
  void destroy(Cell* cell);
  // Finalises the cells of dead_, then frees them.
  void finalizeAndFreeDead();
  // Moves every cell in use to dead_ (large cells leave their list).
  void takeAll();
  void sweepChunks(std::uint8_t sizeClass, std::size_t& live, std::size_t& cells);
  void trimSpareChunks();
  // Frees kept blocks, the smallest first, until at most `keep` bytes are
  // kept.
  void trimBlocks(std::size_t keep);
  void sweepBlocks();

  // Per size class: its chunks, and where the search for a free slot
  // resumes (slots before it are in use until the next sweep).
  struct Pool {
    std::vector<Chunk*> chunks;
    std::size_t chunk = 0;
    std::size_t word = 0;
  };
  Pool pools_[kClasses];
  std::vector<Chunk*> spare_;
  std::size_t chunksInUse_ = 0;

  std::vector<Cell*> large_;
  // Cells found dead with finalisers to run. Its room is made with the
  // cells (there is always room for every cell with a finaliser), so that
  // a sweep never allocates: a sweep that failed halfway would leave
  // marks and lists the next one cannot trust.
  std::vector<Cell*> dead_;
  std::size_t finalizableCells_ = 0;
  struct Block {
    void* memory;
    std::size_t bytes;
    std::uint64_t cycle;  // collections before it was kept
  };
  std::vector<Block> blocks_;  // smallest first
  std::size_t blockBytes_ = 0;
  std::size_t finalisable_ = 0;
  bool finalizing_ = false;
  HeapStats stats_{0, 0, kMinThreshold, 0, 0, 0};
};

} // namespace plumex::script
