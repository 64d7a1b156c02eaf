#pragma once
// One compilation: source text to a compiled module, with its messages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/module_image.h"
#include "script/compiler/module_writer.h"
#include "script/compiler/parser.h"
#include "script/compiler/script_stream.h"

namespace plumex::script {
class Engine;
}

namespace plumex::script::compiler {

// Compile option bits (the front end's are in parser.h).
inline constexpr unsigned kOptionRewindSource = 1u << 1;  // rewind before the listing is written
inline constexpr unsigned kOptionLineTable = 1u << 2;     // write source lines into the module
// The optimisation passes; every compilation runs all four.
inline constexpr unsigned kOptionPasses = 0xFu << 5;

struct CompileResult {
  std::optional<std::vector<std::uint8_t>> module;  // none after an error
  std::string messages;  // warnings and errors, each line ended by "\r\n"
};

// Compiles without an engine (the command-line compiler and the packager
// use this). `write` fixes the writer's choices other than the line table.
CompileResult compileModule(ScriptStream& source, unsigned options, const ModuleWriteOptions& write = {});

// The engine's compilation: the module image, or nothing after an error.
// The messages, successful or not, become the engine's error text. With a
// listing name a listing file is created; with a module name the module
// bytes are also written there.
std::optional<ModuleImage> compile(Engine& engine, ScriptStream& source, unsigned options,
                                   const std::string* listingFile, const std::string* moduleFile);
std::optional<ModuleImage> compileText(Engine& engine, std::string_view text, unsigned options);
// A file that cannot be opened gives nothing and "can't open the script
// file: PATH\n" in the engine's error text.
std::optional<ModuleImage> compileFile(Engine& engine, const std::string& path, unsigned options);

} // namespace plumex::script::compiler
