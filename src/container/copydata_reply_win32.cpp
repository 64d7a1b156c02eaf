#include "container/copydata_reply_win32.h"

#include <windows.h>

#include <cstring>

#include "container/copydata.h"

namespace plumex::container {
namespace {

class Handle {
public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

class View {
public:
  explicit View(void* p) : p_(p) {}
  ~View() {
    if (p_) UnmapViewOfFile(p_);
  }
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  void* get() const { return p_; }

private:
  void* p_;
};

} // namespace

void writeCopyDataReply(const std::string& area, const std::string& text) {
  const Handle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, area.c_str()));
  if (!mapping.get()) return;
  const View view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view.get()) return;
  // The sender may have made the area smaller than the protocol's: the
  // mapped region says how much there really is.
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(view.get(), &info, sizeof info) == 0) return;
  auto* at = static_cast<char*>(view.get()) + kReplyOffset;
  switch (planReply(text.size(), info.RegionSize)) {
    case ReplyWrite::Text:
      std::memcpy(at, text.c_str(), text.size() + 1);
      break;
    case ReplyWrite::Nul:
      *at = '\0';
      break;
    case ReplyWrite::Nothing:
      break;
  }
}

} // namespace plumex::container
