// compress, uncompress and crc of StringStream against Debian's python3
// and its zlib, both ways: Python reads what we write, we read what Python
// writes (with settings of its own), and both give the same bytes and
// checksums for the same input.

#include <cstdlib>
#include <random>

#include "script/vm/engine_interface.h"
#include "stream_fixture.h"

namespace plumex::hostlib::streams {
namespace {

using namespace testing;
using script::Value;

std::string hexOf(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

Bytes fromHex(std::string_view hex) {
  Bytes out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return out;
}

class ZlibReference : public StreamScript {
protected:
  // One answer line for each request line.
  std::vector<std::string> ask(const std::vector<std::string>& requests) {
    {
      std::ofstream out(path("requests"), std::ios::binary);
      for (const std::string& r : requests) out << r << '\n';
    }
    const std::string command = "/usr/bin/python3 '" PLUMEX_ZLIB_REFERENCE "' <'" + path("requests") + "' >'" +
                                path("answers") + "' 2>'" + path("errors") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << hexOf(readBytes("errors"));
    std::vector<std::string> answers;
    std::ifstream in(path("answers"), std::ios::binary);
    for (std::string line; std::getline(in, line);) answers.push_back(line);
    answers.resize(requests.size());
    return answers;
  }

  // A member of a StringStream holding `bytes`, called as a script calls
  // it: the content of the StringStream it gives, or "null".
  std::string call(const Bytes& bytes, std::string_view member, std::vector<Value> args = {}) {
    Value stream;
    EXPECT_TRUE(script::runProtected(e, [&] { stream = makeStringStream(e, bytes); }));
    const script::Atom keep = e.internAnsi("kept");
    e.global(keep) = stream;  // rooted while the member runs
    std::vector<Value> block{Value::integer(static_cast<std::int64_t>(args.size()))};
    block.insert(block.end(), args.begin(), args.end());
    EXPECT_TRUE(script::vm::callMethod(e, stream, member, script::ArgBlock{block.data()})) << e.errorText();
    const auto content = stringStreamContent(e.result);
    return content ? hexOf(*content) : "null";
  }

  // The "crc" property of a StringStream holding `bytes`.
  std::string crcOf(const Bytes& bytes) {
    Value stream, crc;
    EXPECT_TRUE(script::runProtected(e, [&] {
      stream = makeStringStream(e, bytes);
      script::ClassRecord& cls = *stream.asNative()->classRecord();
      cls.property(e, cls, stream.asNative()->instance(), e.internAnsi("crc"), false, crc);
    }));
    return crc.is(script::Kind::Integer) ? std::to_string(crc.integerValue()) : "not an Integer";
  }

  std::vector<Bytes> inputs() {
    std::mt19937 random(17);
    auto text = [&](std::size_t n) {
      Bytes b(n);
      for (auto& x : b) x = static_cast<std::uint8_t>(" etaoinshrdlu\n"[random() % 14]);
      return b;
    };
    auto noise = [&](std::size_t n) {
      Bytes b(n);
      for (auto& x : b) x = static_cast<std::uint8_t>(random());
      return b;
    };
    // Around the 4096-byte blocks, and several output blocks long.
    return {Bytes{}, Bytes{'a', 'b', 'c'}, text(4095), text(4096), text(4097), text(200000), noise(70000)};
  }
};

TEST_F(ZlibReference, PythonReadsWhatWeWriteAndWritesTheSameBytes) {
  std::vector<std::string> requests, expected;
  for (const Bytes& input : inputs()) {
    const std::string hex = hexOf(input), field = "x:" + hex;
    for (int level : {0, 1, 6, 9}) {
      const std::string ours = call(input, "compress", {Value::integer(level)});
      requests.push_back("decompress x:" + ours);
      expected.push_back(hex);
      // Stored blocks are cut where the output buffer ends, which differs;
      // every other level gives the same bytes.
      if (level == 0) continue;
      requests.push_back("compress " + std::to_string(level) + " " + field);
      expected.push_back(ours);
    }
    requests.push_back("compress 6 " + field);
    expected.push_back(call(input, "compress"));
    requests.push_back("crc " + field);
    expected.push_back(crcOf(input));
  }
  const std::vector<std::string> answers = ask(requests);
  for (std::size_t i = 0; i < requests.size(); ++i)
    EXPECT_EQ(answers[i], expected[i]) << requests[i].substr(0, 80);
}

TEST_F(ZlibReference, WeReadWhatPythonWrites) {
  std::vector<std::string> requests;
  std::vector<Bytes> originals;
  for (const Bytes& input : inputs()) {
    for (const char* settings : {"9 9 0", "1 1 0", "6 8 1", "6 8 2", "6 8 3", "6 8 4"}) {
      requests.push_back(std::string("variant ") + settings + " x:" + hexOf(input));
      originals.push_back(input);
    }
  }
  const std::vector<std::string> answers = ask(requests);
  for (std::size_t i = 0; i < requests.size(); ++i)
    EXPECT_EQ(call(fromHex(answers[i]), "uncompress"), hexOf(originals[i])) << requests[i].substr(0, 80);
}

} // namespace
} // namespace plumex::hostlib::streams
