#pragma once
// Host objects handed to a movie: each is held (a collector root) under a
// number the movie uses to call it. Numbers are positive and never given
// twice in a process, so a released or forged number, or one of another
// engine, finds nothing; the same object given again gets its number back.
// A table belongs to one engine and goes before it does.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "moviehost/xml_values.h"
#include "script/values/engine.h"

namespace plumex::moviehost {

// The process's source of handle numbers, shared by every table.
struct HandleNumbers {
  std::int64_t next = 1;
};

class HandleTable final : public HandleIssuer {
public:
  HandleTable(script::Engine& engine, HandleNumbers& numbers) : engine_(engine), numbers_(numbers) {}
  // Drops every handle (their objects are closed, as a release does).
  ~HandleTable() override;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // The number of a Native, made and held on first use.
  std::int64_t handleFor(const script::Value& native) override;

  // The object of a live number; an Integer or a whole-valued Float.
  std::optional<script::Value> find(const script::Value& number) const;
  std::optional<script::Value> find(std::int64_t number) const;

  // Releases the handle and closes its object (scripts that still hold it
  // then see a closed object); false for a number that holds nothing.
  bool release(const script::Value& number);

  std::size_t size() const { return byNumber_.size(); }

private:
  static std::optional<std::int64_t> numberOf(const script::Value& v);

  script::Engine& engine_;
  HandleNumbers& numbers_;
  std::unordered_map<std::int64_t, script::PinnedValue*> byNumber_;
  std::unordered_map<const void*, std::int64_t> byCell_;
};

} // namespace plumex::moviehost
