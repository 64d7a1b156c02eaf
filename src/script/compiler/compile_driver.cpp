#include "script/compiler/compile_driver.h"

#include <new>

#include "script/compiler/code_generator.h"
#include "script/compiler/module_sections.h"
#include "script/compiler/optimizer.h"
#include "script/compiler/stack_check.h"
#include "script/values/engine.h"

namespace plumex::script::compiler {

namespace {

// Every function's stack depth is worked out as the loader will: code that
// the loader would refuse is the compiler's fault and is reported here.
void checkOwnModule(const std::vector<std::uint8_t>& module) {
  const auto image = ModuleImage::read(module);
  if (!image) throw ModuleWriteError("the module does not read back");
  const ModuleFunctions functions = readFunctions(*image);
  if (!functions.error.empty()) throw ModuleWriteError(functions.error);
  const auto code = image->section(SectionType::Code);
  for (const ModuleFunction& f : functions.entries) {
    const StackCheck check = checkStack(code.subspan(f.offset, f.end - f.offset), f.isMain());
    if (!check.ok()) throw ModuleWriteError(f.name + ": " + check.error);
  }
}

} // namespace

CompileResult compileModule(ScriptStream& source, unsigned options, const ModuleWriteOptions& write) {
  CompileResult result;
  auto messages = ScriptStream::openMemory();
  try {
    auto tree = parseProgram(source, *messages, options);
    if (tree) {
      Diagnostics diagnostics(*messages);
      InstructionList code = generateCode(*tree, diagnostics);
      optimize(code);
      ModuleWriteOptions w = write;
      w.lineTable = (options & kOptionLineTable) != 0;
      w.sourceName = source.name();
      result.module = writeModule(code, w);
      checkOwnModule(*result.module);
    }
  } catch (const CompileFailed&) {
    result.module.reset();
  } catch (const ModuleWriteError& e) {
    // The generator made a list the writer cannot encode: our fault, but
    // reported like any error rather than ending the process.
    result.module.reset();
    messages->writeText(std::string("error: line 0: internal compiler error: ") + e.what() + "\r\n");
  } catch (const std::bad_alloc&) {
    result.module.reset();
    result.messages = "Out of memory";
    return result;
  }
  result.messages = std::string(messages->memory());
  return result;
}

std::optional<ModuleImage> compile(Engine& engine, ScriptStream& source, unsigned options,
                                   const std::string* listingFile, const std::string* moduleFile) {
  engine.setCompileMessages({});
  CompileResult r = compileModule(source, options | kOptionPasses);
  std::optional<ModuleImage> image;
  if (r.module) {
    if (listingFile) {
      if (options & kOptionRewindSource) source.rewind();
      if (auto listing = ScriptStream::createFile(*listingFile)) {
        listing->writeText("; -*- asm -*-\r\n");
        listing->close();
      }
    }
    if (moduleFile) {
      auto out = ScriptStream::createFile(*moduleFile);
      bool written = false;
      if (out) {
        out->writeBytes(r.module->data(), r.module->size());
        written = out->close();
      }
      if (!written) r.messages += "can't write the module file: " + *moduleFile + "\r\n";
    }
    image = ModuleImage::read(*r.module);
  }
  source.close();
  engine.setCompileMessages(std::move(r.messages));
  return image;
}

std::optional<ModuleImage> compileText(Engine& engine, std::string_view text, unsigned options) {
  auto source = ScriptStream::openText(text);
  return compile(engine, *source, options, nullptr, nullptr);
}

std::optional<ModuleImage> compileFile(Engine& engine, const std::string& path, unsigned options) {
  engine.setCompileMessages({});
  auto source = ScriptStream::openFile(engine, path);
  if (!source) return std::nullopt;
  return compile(engine, *source, options, nullptr, nullptr);
}

} // namespace plumex::script::compiler
