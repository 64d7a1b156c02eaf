// The external interface on any request a movie could send: whatever the
// text, the answer is one readable value element, and the engine stays
// usable. Script run by quorv_eval is stopped by the host hook after a
// bounded amount of work.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "container/application_engine.h"
#include "fuzz_check.h"
#include "moviehost/command_dispatcher.h"
#include "moviehost/external_interface.h"
#include "moviehost/xml_document.h"
#include "script/builtins/builtins.h"
#include "script/vm/engine_interface.h"

using namespace plumex;

namespace {

int hookBudget = 0;

class QuietHost final : public moviehost::CommandHost, public moviehost::MovieFunctions {
public:
  std::optional<std::vector<std::uint8_t>> scriptResource(std::u16string_view) override { return std::nullopt; }
  void deferRun(std::u16string_view) override {}
  void closeWindow() override {}
  void fullScreen(std::optional<bool>) override {}
  void exec(std::u16string_view) override {}
  void trace(std::string_view) override {}
  std::optional<std::u16string> callFunction(std::u16string_view) override { return u"<number>1</number>"; }
};

struct Bridge {
  QuietHost host;
  moviehost::HandleNumbers numbers;
  container::ApplicationEngine engines{[] {
    script::vm::EngineSetup setup;
    setup.registerClasses = [](script::Engine& e) { script::builtins::registerPortableClasses(e); };
    // Asked every 65536 backward jumps: a few of those per input.
    setup.hook = [](int, void*) { return --hookBudget < 0 ? 1 : 0; };
    return script::vm::createEngine(setup);
  }};
  moviehost::CommandDispatcher commands{engines, host};
  moviehost::ExternalInterface bridge{engines, commands, numbers, host};
  ~Bridge() { engines.quit(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Bridge b;
  hookBudget = 20;
  // The request as the control hands it over: UTF-16, here one unit a byte.
  const std::u16string request(data, data + size);
  const std::u16string answer = b.bridge.answer(request);
  const std::optional<moviehost::XmlElement> read = moviehost::readXml(answer);
  FUZZ_CHECK(read.has_value());
  FUZZ_CHECK(b.engines.depth() == 0);
  return 0;
}
