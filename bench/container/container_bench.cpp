// Extraction throughput of one large archive entry against plain zlib
// inflate of the same stream from memory into a file (the goal: extraction
// at 0.9 of it or better), and packaging throughput (writeArchive, packBlock).
// Figures are reported, never asserted. Build with the release preset.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "container/archive.h"
#include "container/packed_block.h"
#include "platform/files.h"

namespace fs = std::filesystem;
using namespace plumex::container;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::size_t kLargeEntry = 32u << 20;

// Text-like bytes from a fixed vocabulary: compresses about as well as the
// movies' scripts, XML and texts an archive carries.
Bytes compressible(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"movie", "frame ", "clip", "<node>", "value=\"", "0x1F ",
                                       "\r\n", "script", " ", "application", "folder/", "42"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) {
    const char* w = kWords[rng() % std::size(kWords)];
    while (*w) out.push_back(static_cast<std::uint8_t>(*w++));
    if (rng() % 7 == 0) out.push_back(static_cast<std::uint8_t>(rng()));
  }
  out.resize(size);
  return out;
}

// A DOS header, the PE signature, a file header and one empty section
// ending where the headers end: the archive follows at offset 0x200.
Bytes fakeExe() {
  Bytes b(0x200, 0);
  b[0] = 'M', b[1] = 'Z';
  b[0x3C] = 0x40;
  b[0x40] = 'P', b[0x41] = 'E';
  b[0x46] = 1;
  b[0x40 + 24 + 21] = 0x02; // PointerToRawData 0x200
  return b;
}

struct Scratch {
  fs::path dir;
  fs::path exe;
  Bytes content;
  Bytes stream; // the entry's zlib stream, as the archive holds it
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "plumex-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    exe = dir / "app.exe";
    content = compressible(kLargeEntry, 1);
    Bytes archive = writeArchive({ArchiveEntry{"big.bin", false, content, {}}});
    Bytes file = fakeExe();
    file.insert(file.end(), archive.begin(), archive.end());
    std::ofstream(exe, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    uLongf n = compressBound(static_cast<uLong>(content.size()));
    stream.resize(n);
    if (compress2(stream.data(), &n, content.data(), static_cast<uLong>(content.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
      std::abort();
    stream.resize(n);
  }
  ~Scratch() { fs::remove_all(dir); }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

void BM_ExtractLargeEntry(benchmark::State& state) {
  Scratch& s = scratch();
  const fs::path run = s.dir / "run";
  std::string got;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(run);
    fs::create_directory(run);
    state.ResumeTiming();
    got = extract({s.exe.string(), run.string() + "/", "big.bin", {}});
    if (got.empty()) {
      state.SkipWithError("extraction failed");
      break;
    }
  }
  // Only a correct extraction is worth timing.
  if (!got.empty()) {
    std::ifstream in(got, std::ios::binary);
    const Bytes extracted{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (extracted != s.content) state.SkipWithError("extracted bytes differ from the entry");
  }
  fs::remove_all(run);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeEntry));
  state.counters["ratio"] = static_cast<double>(s.content.size()) / static_cast<double>(s.stream.size());
}
BENCHMARK(BM_ExtractLargeEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same stream inflated from memory into a file with generous buffers:
// the fastest extraction could be.
void BM_PlainInflateToFile(benchmark::State& state) {
  Scratch& s = scratch();
  const std::string path = (s.dir / "plain.bin").string();
  Bytes buffer(256 * 1024);
  for (auto _ : state) {
    // A new file each time, as extraction writes one.
    state.PauseTiming();
    plumex::removeFile(path);
    state.ResumeTiming();
    plumex::OutputFile out;
    if (!out.create(path)) {
      state.SkipWithError("cannot create the output");
      break;
    }
    z_stream z{};
    inflateInit(&z);
    z.next_in = s.stream.data();
    z.avail_in = static_cast<uInt>(s.stream.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
      z.next_out = buffer.data();
      z.avail_out = static_cast<uInt>(buffer.size());
      rc = inflate(&z, Z_NO_FLUSH);
      out.write(buffer.data(), buffer.size() - z.avail_out);
    }
    inflateEnd(&z);
    out.close();
    if (rc != Z_STREAM_END) {
      state.SkipWithError("inflate failed");
      break;
    }
  }
  plumex::removeFile(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeEntry));
}
BENCHMARK(BM_PlainInflateToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The CRC-32 check extraction does and plain inflate does not: most of what
// separates the two.
void BM_Crc32OfLargeEntry(benchmark::State& state) {
  const Scratch& s = scratch();
  for (auto _ : state)
    benchmark::DoNotOptimize(crc32(0L, s.content.data(), static_cast<uInt>(s.content.size())));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeEntry));
}
BENCHMARK(BM_Crc32OfLargeEntry)->Unit(benchmark::kMillisecond)->UseRealTime();

// A project's files: mostly texts and scripts, a few already-compressed
// (random) ones, as movies and images are.
std::vector<ArchiveEntry> projectFiles() {
  std::vector<ArchiveEntry> files;
  std::mt19937 rng(7);
  for (int i = 0; i < 32; ++i) {
    ArchiveEntry e{"file" + std::to_string(i) + ".dat", false, {}, {}};
    if (i % 4 == 3) {
      e.content.resize(256 * 1024);
      for (auto& b : e.content) b = static_cast<std::uint8_t>(rng());
    } else {
      e.content = compressible(256 * 1024, static_cast<std::uint32_t>(i));
    }
    files.push_back(std::move(e));
  }
  return {ArchiveEntry{"movies", true, {}, std::move(files)}};
}

std::int64_t totalSize(const std::vector<ArchiveEntry>& entries) {
  std::int64_t n = 0;
  for (const ArchiveEntry& e : entries) n += static_cast<std::int64_t>(e.content.size()) + totalSize(e.children);
  return n;
}

void BM_WriteArchive(benchmark::State& state) {
  const std::vector<ArchiveEntry> root = projectFiles();
  for (auto _ : state) benchmark::DoNotOptimize(writeArchive(root));
  state.SetBytesProcessed(state.iterations() * totalSize(root));
}
BENCHMARK(BM_WriteArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackBlocks(benchmark::State& state) {
  const std::vector<ArchiveEntry> root = projectFiles();
  for (auto _ : state)
    for (const ArchiveEntry& e : root.front().children) benchmark::DoNotOptimize(packBlock(e.content));
  state.SetBytesProcessed(state.iterations() * totalSize(root));
}
BENCHMARK(BM_PackBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
