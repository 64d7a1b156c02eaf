// The mail message against Python's email package (Debian's python3,
// default policy) on one generated message: a text body, an HTML body and
// two 8 MiB attachments. Both sides are timed in-process, the median of
// five runs each; figures are reported, never asserted. Build with the
// release preset:
//   build/release/bench/mail/mail_bench [RUNS]
// The goals: loading and listing the parts at least 5 times as fast as
// BytesParser; loading and saving every attachment 3 times as fast as
// parsing, get_payload(decode=True) and writing; composing and saving
// twice as fast as EmailMessage.as_bytes; and composing 20 attachments of
// 1 MiB no slower than Python.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "hostlib/mail/mail_message.h"

namespace fs = std::filesystem;
using plumex::hostlib::mail::Field;
using plumex::hostlib::mail::MailMessage;

namespace {

constexpr std::size_t kLarge = 8u << 20;
constexpr std::size_t kSmall = 1u << 20;
constexpr int kSmallCount = 20;

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (std::size_t i = 0; i + 4 <= n; i += 4) {
    const std::uint32_t v = rng();
    std::memcpy(&s[i], &v, 4);
  }
  return s;
}

// Text with line ends, some characters beyond ASCII and a few "=".
std::string sampleText(std::size_t n, const char* word) {
  std::string s;
  while (s.size() < n) s += std::string(word) + " caf\xe9 = 42\n";
  return s;
}

double medianSeconds(int runs, const std::function<void()>& task) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    task();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "mail_bench: %s failed\n", what);
    std::exit(1);
  }
}

std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const fs::path dir = fs::temp_directory_path() / "plumex-mail-bench";
  fs::remove_all(dir);
  fs::create_directories(dir / "out");
  writeFile(dir / "text.txt", sampleText(20000, "plain"));
  writeFile(dir / "page.html", "<html><body>" + sampleText(40000, "<p>html</p>") + "</body></html>");
  writeFile(dir / "big1.bin", randomBytes(kLarge, 1));
  writeFile(dir / "big2.bin", randomBytes(kLarge, 2));
  for (int i = 0; i < kSmallCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "small%02d.bin", i);
    writeFile(dir / name, randomBytes(kSmall, 10 + static_cast<unsigned>(i)));
  }
  const std::string text = slurp(dir / "text.txt"), html = slurp(dir / "page.html");
  const fs::path message = dir / "message.eml";

  auto compose = [&](const std::vector<std::string>& files, const fs::path& to) {
    auto m = MailMessage::create();
    check(m != nullptr, "create");
    m->setField(Field::From, "a@example.org");
    m->setField(Field::To, "b@example.org");
    m->setField(Field::Subject, "Benchmark");
    m->setText(text);
    m->setHtml(html);
    for (const std::string& f : files) check(m->addAttachment((dir / f).string()), "addAttachment");
    check(m->save(to.string()), "save");
  };
  compose({"big1.bin", "big2.bin"}, message);

  const double loadAndList = medianSeconds(runs, [&] {
    auto m = MailMessage::create();
    check(m->load(message.string()), "load");
    std::size_t names = 0;
    for (std::size_t i = 0; i < m->attachmentCount(); ++i) names += m->attachment(i)->name.size() + m->attachment(i)->contentType.size();
    check(names > 0 && m->attachmentCount() == 2, "listing");
  });
  const double loadAndSave = medianSeconds(runs, [&] {
    auto m = MailMessage::create();
    check(m->load(message.string()), "load");
    for (std::size_t i = 0; i < m->attachmentCount(); ++i)
      check(m->saveAttachment(i, (dir / "out" / ("attachment" + std::to_string(i))).string()), "saveAttachment");
  });
  const double composeAndSave = medianSeconds(runs, [&] { compose({"big1.bin", "big2.bin"}, dir / "out" / "composed.eml"); });
  std::vector<std::string> smalls;
  for (int i = 0; i < kSmallCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "small%02d.bin", i);
    smalls.push_back(name);
  }
  const double composeSmalls = medianSeconds(runs, [&] { compose(smalls, dir / "out" / "composed20.eml"); });
  check(slurp(dir / "out" / "attachment1") == slurp(dir / "big2.bin"), "the saved attachment");

  const std::string command = "/usr/bin/python3 '" PLUMEX_MAIL_BENCH_PY "' '" + dir.string() + "' " + std::to_string(runs);
  FILE* p = popen(command.c_str(), "r");
  check(p != nullptr, "python");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  check(pclose(p) == 0, "python");
  const nlohmann::json py = nlohmann::json::parse(out);

  struct Row {
    const char* task;
    double ours;
    double python;
    double goal;
  };
  const Row rows[] = {
      {"load, list the parts", loadAndList, py["load_and_list"], 5},
      {"load, save every attachment", loadAndSave, py["load_and_save_attachments"], 3},
      {"compose and save (2 x 8 MiB)", composeAndSave, py["compose_and_save"], 2},
      {"compose and save (20 x 1 MiB)", composeSmalls, py["compose_20_attachments"], 1},
  };
  std::printf("message: %.1f MiB; median of %d runs\n\n", static_cast<double>(fs::file_size(message)) / (1 << 20), runs);
  std::printf("| task | ours (ms) | Python (ms) | Python / ours | goal |\n|---|---:|---:|---:|---:|\n");
  for (const Row& r : rows)
    std::printf("| %s | %.1f | %.1f | %.1f | >= %.0f |\n", r.task, r.ours * 1000, r.python * 1000, r.python / r.ours,
                r.goal);
  fs::remove_all(dir);
  return 0;
}
