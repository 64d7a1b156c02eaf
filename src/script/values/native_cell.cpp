#include "script/values/native_cell.h"

#include "script/values/heap.h"
#include "script/values/property_table.h"

namespace plumex::script {

void ClassRecord::trace(Tracer& t) { t.mark(prototype); }

void ClassRecord::finalize(Heap&) {
  if (freeClassData) freeClassData(classData);
  classData = nullptr;
  freeClassData = nullptr;
}

void NativeCell::close(Heap& heap) {
  if (state_ != State::Live) return;
  state_ = State::Closed;
  void* instance = instance_;
  instance_ = nullptr;
  heap.removeFinalisable();
  if (class_->finalizeInstance) class_->finalizeInstance(*class_, instance);
}

void NativeCell::trace(Tracer& t) {
  t.mark(class_);
  t.mark(table_);
  if (state_ == State::Live && class_->markInstance) class_->markInstance(*class_, instance_, t);
}

} // namespace plumex::script
