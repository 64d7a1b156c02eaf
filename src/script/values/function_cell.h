#pragma once
// A script function (its compiled code record belongs to the virtual
// machine) and a plain list of values on the heap.

#include <vector>

#include "script/values/cell.h"
#include "script/values/property_table.h"

namespace plumex::script {

class FunctionCell final : public Cell {
public:
  explicit FunctionCell(Cell* code) : code_(code) {}

  Cell* code() const { return code_; }
  PropertyTable* table() const { return table_; }
  void setTable(PropertyTable* t) { table_ = t; }

  void trace(Tracer& t) override {
    t.mark(code_);
    t.mark(table_);
  }
  std::size_t byteSize() const override { return sizeof(*this); }

private:
  Cell* code_;
  PropertyTable* table_ = nullptr;
};

// A frame's with-list, and any other values a heap record needs in a row.
class ValueList final : public Cell {
public:
  std::vector<Value> values;

  void trace(Tracer& t) override {
    for (const Value& v : values) t.mark(v);
  }
  std::size_t byteSize() const override { return sizeof(*this) + values.capacity() * sizeof(Value); }
};

} // namespace plumex::script
