#include "script/compiler/keywords.h"

#include <array>

#include "script/compiler/token.h"
#include "script/values/atoms.h"

namespace plumex::script::compiler {
namespace {

struct Keyword {
  std::string_view text;
  int kind;
};

constexpr Keyword kKeywords[] = {
    {"break", tok::Break},       {"continue", tok::Continue}, {"delete", tok::Delete},
    {"else", tok::Else},         {"for", tok::For},           {"function", tok::Function},
    {"if", tok::If},             {"in", tok::In},             {"new", tok::New},
    {"return", tok::Return},     {"this", tok::This},         {"typeof", tok::Typeof},
    {"var", tok::Var},           {"void", tok::Void},         {"while", tok::While},
    {"with", tok::With},         {"case", tok::Case},         {"catch", tok::Catch},
    {"class", tok::Class},       {"const", tok::Const},       {"debugger", tok::Debugger},
    {"default", tok::Default},   {"do", tok::Do},             {"enum", tok::Enum},
    {"export", tok::Export},     {"extends", tok::Extends},   {"finally", tok::Finally},
    {"import", tok::Import},     {"super", tok::Super},       {"switch", tok::Switch},
    {"throw", tok::Throw},       {"try", tok::Try},           {"null", tok::Null},
    {"true", tok::True},         {"false", tok::False},       {"undefined", tok::Undefined},
    {"struct", tok::Struct},     {"dllimport", tok::DllImport}, {"as", tok::As},
};
static_assert(std::size(kKeywords) == 39);

constexpr std::size_t kBuckets = 32;

struct Table {
  // Each bucket lists indexes into kKeywords, -1 terminated.
  std::array<std::array<signed char, std::size(kKeywords) + 1>, kBuckets> chains{};

  Table() {
    std::array<std::size_t, kBuckets> used{};
    for (auto& chain : chains) chain.fill(-1);
    for (std::size_t i = 0; i < std::size(kKeywords); ++i) {
      const std::size_t b = hashName(kKeywords[i].text) & (kBuckets - 1);
      chains[b][used[b]++] = static_cast<signed char>(i);
    }
  }
};

const Table& table() {
  static const Table t;
  return t;
}

} // namespace

int keywordKind(std::string_view text, std::uint32_t hash) {
  for (signed char i : table().chains[hash & (kBuckets - 1)]) {
    if (i < 0) break;
    if (kKeywords[i].text == text) return kKeywords[i].kind;
  }
  return tok::End;
}

int keywordKind(std::string_view text) { return keywordKind(text, hashName(text)); }

std::string_view keywordText(int kind) {
  for (const Keyword& k : kKeywords)
    if (k.kind == kind) return k.text;
  return {};
}

} // namespace plumex::script::compiler
