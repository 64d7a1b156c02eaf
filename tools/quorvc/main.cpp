// quorvc: the script compiler's command line. It compiles scripts to
// modules, lists what the front end sees (the token stream and the syntax
// tree) and what compiled modules hold.

#include <cstdio>
#include <cstring>
#include <string>

#include "build_info.h"
#include "platform/files.h"
#include "script/compiler/compile_driver.h"
#include "script/compiler/dump.h"
#include "script/compiler/gnu_diagnostics.h"
#include "script/compiler/module_dump.h"
#include "script/compiler/parser.h"

namespace {

using namespace plumex::script::compiler;

constexpr const char* kUsage =
    "usage: quorvc [-g] [-o OUT.qsc] [OPTIONS] FILE.qvs\n"
    "       quorvc --tokens [OPTIONS] FILE.qvs\n"
    "       quorvc --ast [OPTIONS] FILE.qvs\n"
    "       quorvc --dump FILE.qsc\n"
    "\n"
    "The Quorv Script compiler. Without a listing option it compiles FILE.qvs to a\n"
    "module, written to OUT.qsc (by default FILE with the extension .qsc); -g adds\n"
    "the source line of each instruction, which runtime errors then report.\n"
    "--tokens lists the tokens of a script, one a line\n"
    "(line, kind number, kind, value); --ast prints its syntax tree (node kind,\n"
    "details, :static kind, @line; children indented). Lines count from 0.\n"
    "--tokens shows the lexer's view alone: the parser decides where a regular\n"
    "expression starts, so there its text appears as ordinary tokens.\n"
    "--dump lists a compiled module: its sections, constants, functions and line\n"
    "records, and each function's code with the stack it needs, or what makes the\n"
    "engine refuse it. Offsets count from the start of the code section.\n"
    "\n"
    "  -g                 write the line table (source lines) into the module\n"
    "  --diagnostics=gnu  write diagnostics as FILE:LINE: error: TEXT (lines from 1),\n"
    "                     the form editors and build systems read\n"
    "  -o OUT.qsc         where to write the module\n"
    "  --strict-strings   warn about line breaks inside string literals\n"
    "  --warn-semicolons  warn wherever a line break, } or the end ends a statement\n"
    "  --help             this text\n"
    "  --version          the version and the commit this build was made from\n"
    "\n"
    "Diagnostics (\"error: line N: ...\", \"warning: line N: ...\", lines from 0,\n"
    "unless --diagnostics=gnu) go to stderr.\n"
    "Exit status: 0 done, 1 the script has an error or cannot be read (for --dump:\n"
    "the file is not a module, or the engine would refuse it), 2 bad usage.\n";

int usage(const char* problem) {
  std::fprintf(stderr, "quorvc: %s\n%s", problem, kUsage);
  return 2;
}

// Where the messages name the script: nothing for the system's own form.
const char* gnuFile = nullptr;

// The compile messages end their lines with "\r\n"; the console's own line
// ends are used here.
void printMessages(const std::string& messages) {
  if (gnuFile) {
    std::fputs(plumex::script::compiler::gnuDiagnostics(messages, gnuFile).c_str(), stderr);
    return;
  }
  std::string text;
  text.reserve(messages.size());
  for (char c : messages)
    if (c != '\r') text += c;
  std::fputs(text.c_str(), stderr);
}

std::string defaultOutput(const std::string& source) {
  const std::size_t slash = source.find_last_of("/\\");
  const std::size_t dot = source.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? source.substr(0, dot) : source) + ".qsc";
}

int compileFile(const char* file, const char* output, unsigned options) {
  auto source = ScriptStream::openFile(file);
  if (!source) {
    std::fprintf(stderr, "quorvc: can't open the script file: %s\n", file);
    return 1;
  }
  const CompileResult r = compileModule(*source, options);
  printMessages(r.messages);
  if (!r.module) return 1;
  const std::string out = output ? output : defaultOutput(file);
  // Written under a temporary name, so that a failed write leaves no
  // partial module behind.
  const std::string temp = out + ".part";
  plumex::OutputFile f;
  const bool written = f.create(temp) && f.write(r.module->data(), r.module->size()) && f.close() &&
                       plumex::renameFile(temp, out);
  if (!written) {
    plumex::removeFile(temp);
    std::fprintf(stderr, "quorvc: can't write the module file: %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int dumpModuleFile(const char* file) {
  if (!plumex::fileExists(file)) {
    std::fprintf(stderr, "quorvc: can't open the module file: %s\n", file);
    return 1;
  }
  const auto image = ModuleImage::readFile(file);
  if (!image) {
    std::fprintf(stderr, "quorvc: not a compiled module: %s\n", file);
    return 1;
  }
  const ModuleListing listing = dumpModule(*image);
  std::fputs(listing.text.c_str(), stdout);
  return listing.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  enum class Mode { Compile, Tokens, Ast, Dump } mode = Mode::Compile;
  unsigned options = 0;
  const char* file = nullptr;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!std::strcmp(a, "--version")) {
      std::puts(plumex::versionLine("quorvc").c_str());
      return 0;
    } else if (!std::strcmp(a, "--tokens") || !std::strcmp(a, "--ast") || !std::strcmp(a, "--dump")) {
      if (mode != Mode::Compile) return usage("choose one of --tokens, --ast and --dump");
      mode = a[2] == 't' ? Mode::Tokens : a[2] == 'a' ? Mode::Ast : Mode::Dump;
    } else if (!std::strcmp(a, "-g")) {
      options |= kOptionLineTable;
    } else if (!std::strcmp(a, "--diagnostics=gnu")) {
      gnuFile = "";
    } else if (!std::strcmp(a, "--diagnostics=system")) {
      gnuFile = nullptr;
    } else if (!std::strcmp(a, "-o")) {
      if (++i == argc) return usage("-o needs a file name");
      output = argv[i];
    } else if (!std::strcmp(a, "--strict-strings")) {
      options |= kOptionStrictStrings;
    } else if (!std::strcmp(a, "--warn-semicolons")) {
      options |= kOptionWarnSemicolon;
    } else if (a[0] == '-' && a[1] != '\0') {
      return usage((std::string("unknown option ") + a).c_str());
    } else if (file) {
      return usage("one script at a time");
    } else {
      file = a;
    }
  }
  if (!file) return usage(mode == Mode::Dump ? "no module given" : "no script given");
  if (gnuFile) gnuFile = file;
  if (mode != Mode::Compile && (output || (options & kOptionLineTable)))
    return usage("-g and -o go with compiling only");
  if (mode == Mode::Dump) return dumpModuleFile(file);
  if (mode == Mode::Compile) return compileFile(file, output, options);

  auto source = ScriptStream::openFile(file);
  if (!source) {
    std::fprintf(stderr, "quorvc: can't open the script file: %s\n", file);
    return 1;
  }
  const DumpResult r = mode == Mode::Tokens ? dumpTokens(*source, options) : dumpSyntaxTree(*source, options);
  std::fputs(r.output.c_str(), stdout);
  std::fflush(stdout);
  printMessages(r.messages);
  return r.ok ? 0 : 1;
}
