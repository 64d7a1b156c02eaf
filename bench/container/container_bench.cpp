// Extraction of one large archive entry against plain zlib inflate of the
// same stream from memory into a file (the goal: extraction at 0.9 of its
// speed or better) and against the CRC-32 alone, for compressible and for
// barely-compressible data; and packaging throughput (writeArchive,
// packBlock). Figures are reported, never asserted. Build with the release
// preset; on a shared machine take medians:
//   container_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
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

constexpr std::size_t kLargeEntry = 16u << 20;

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

// Bytes drawn unevenly from 200 values: deflate shrinks them by a few
// percent, as it does the movies and images an archive mostly carries.
Bytes barelyCompressible(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng() % 200);
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

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
         (std::uint32_t{b[at + 3]} << 24);
}

// The zlib stream of an archive's first root entry: after magic and version,
// the root name, the root length, then kind, name and size of the entry.
Bytes firstStream(const Bytes& archive) {
  std::size_t at = 8;
  at += 4 + 2 * std::size_t{le32(archive, at)} + 4;
  at += 4;
  at += 4 + 2 * std::size_t{le32(archive, at)};
  const std::size_t size = le32(archive, at);
  at += 4;
  return Bytes(archive.begin() + static_cast<std::ptrdiff_t>(at),
               archive.begin() + static_cast<std::ptrdiff_t>(at + size - 4));
}

// One large entry in an executable of its own, and the entry's stream.
struct LargeEntry {
  fs::path exe;
  Bytes content;
  Bytes stream;
};

struct Scratch {
  fs::path dir;
  LargeEntry text, dense;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "plumex-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    text = make("text.exe", compressible(kLargeEntry, 1));
    dense = make("dense.exe", barelyCompressible(kLargeEntry, 2));
  }
  ~Scratch() { fs::remove_all(dir); }

  LargeEntry make(const char* name, Bytes content) {
    LargeEntry e{dir / name, std::move(content), {}};
    const Bytes archive = writeArchive({ArchiveEntry{"big.bin", false, e.content, {}}});
    e.stream = firstStream(archive);
    Bytes file = fakeExe();
    file.insert(file.end(), archive.begin(), archive.end());
    std::ofstream(e.exe, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return e;
  }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

// The stream inflated from memory into a file with generous buffers: the
// fastest extraction could be.
bool plainInflateToFile(const Bytes& stream, const std::string& path, Bytes& buffer) {
  plumex::OutputFile out;
  if (!out.create(path)) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<std::uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = inflate(&z, Z_NO_FLUSH);
    out.write(buffer.data(), buffer.size() - z.avail_out);
  }
  inflateEnd(&z);
  return out.close() && rc == Z_STREAM_END;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration times extraction (the benchmark's own time), then plain
// inflate of the same stream, then the CRC-32 of the content alone; taken in
// turn, the three see the same load on a shared machine, and the ratio
// plain/extraction is the figure to watch.
void BM_Extraction(benchmark::State& state, LargeEntry Scratch::*which) {
  Scratch& s = scratch();
  const LargeEntry& entry = s.*which;
  const fs::path run = s.dir / "run";
  const std::string plain = (s.dir / "plain.bin").string();
  Bytes buffer(256 * 1024);
  double extractMs = 0, inflateMs = 0, crcMs = 0;
  std::string got;
  for (auto _ : state) {
    fs::remove_all(run);
    fs::create_directory(run);
    plumex::removeFile(plain);

    auto start = std::chrono::steady_clock::now();
    got = extract({entry.exe.string(), run.string() + "/", "big.bin", {}});
    const double extracted = millisecondsSince(start);
    if (got.empty()) {
      state.SkipWithError("extraction failed");
      break;
    }
    state.SetIterationTime(extracted / 1000);
    extractMs += extracted;

    start = std::chrono::steady_clock::now();
    if (!plainInflateToFile(entry.stream, plain, buffer)) {
      state.SkipWithError("plain inflate failed");
      break;
    }
    inflateMs += millisecondsSince(start);

    start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(crc32(0L, entry.content.data(), static_cast<uInt>(entry.content.size())));
    crcMs += millisecondsSince(start);
  }
  // Only a correct extraction is worth timing.
  if (!got.empty()) {
    std::ifstream in(got, std::ios::binary);
    const Bytes extracted{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (extracted != entry.content) state.SkipWithError("extracted bytes differ from the entry");
  }
  fs::remove_all(run);
  plumex::removeFile(plain);
  const auto n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeEntry));
  state.counters["extract_ms"] = extractMs / n;
  state.counters["inflate_ms"] = inflateMs / n;
  state.counters["crc_ms"] = crcMs / n;
  state.counters["inflate/extract"] = extractMs > 0 ? inflateMs / extractMs : 0;
  state.counters["packed"] = static_cast<double>(entry.stream.size()) / static_cast<double>(entry.content.size());
}
BENCHMARK_CAPTURE(BM_Extraction, compressible, &Scratch::text)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_Extraction, barely_compressible, &Scratch::dense)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

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
