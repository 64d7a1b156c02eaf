// quorv: runs a Quorv Script file, source or compiled module, in an engine
// with the portable classes: for tests, tools and build scripts.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "build_info.h"
#include "container/settings_record.h"
#include "hostlib/host_classes.h"
#include "platform/files.h"
#include "script/compiler/gnu_diagnostics.h"
#include "script/values/array_record.h"
#include "script/values/factory.h"
#include "script/vm/engine_interface.h"

namespace {

using namespace plumex::script;

constexpr const char* kUsage =
    "usage: quorv [OPTIONS] FILE [ARGS...]\n"
    "\n"
    "Runs the Quorv Script FILE: FILE.qvs as source text, FILE.qsc as a compiled\n"
    "module (made by quorvc), any other file by its content: a module when it\n"
    "starts with the module magic, after an optional first line beginning with #\n"
    "(such as #!/usr/bin/env quorv), else source text. The engine holds the\n"
    "classes of this build: the built-in classes and global functions (Object,\n"
    "Array, String, Math, Date, RegExp, trace, eval, evals, parseInt, ...), the\n"
    "byte streams StringStream and FileStream (also Stream), the mail message\n"
    "Mail, mail transfer SendMail (SMTP) and RecvMail (POP3), Encryption,\n"
    "DataFile, the INI files Ini (also INI), the foreign structures Struct and\n"
    "StructArray, and the option\n"
    "groups _Appearance_, _Interaction_, _Behaviour_ and\n"
    "_SizeAndPos_,\n"
    "which here work on settings of their own with no window: what a script\n"
    "stores reads back, and nothing else happens. The Windows build (quorv.exe)\n"
    "also has the DLL calls: DllParam, and Dll with the functions dllimport\n"
    "declares.\n"
    "\n"
    "ARGS reach the script as the global scriptArgs: an Array of Strings, in\n"
    "order, empty when there are none. Options are read before FILE only; every\n"
    "argument after FILE belongs to the script.\n"
    "\n"
    "Output. Each line the script traces and each runtime warning (\"Warning: ...\")\n"
    "goes to stdout as one line, in the order they happen (trace writes its\n"
    "arguments' texts one after the other, without separators); lines end in\n"
    "\"\\n\", or \"\\r\\n\" on Windows, on stdout and stderr alike. Compile messages\n"
    "(\"error: line N: ...\", \"warning: line N: ...\", lines counted from 0) go to\n"
    "stderr, warnings of a script that compiled too, and so does the text of a\n"
    "runtime error that no try caught (\"Runtime error: ...\", for example an\n"
    "uncaught throw: \"Runtime error: \" and the thrown value's text), followed\n"
    "by where it arose, innermost first: \"    at NAME (FILE:LINE)\" for script\n"
    "(lines counted from 1; \"?\" for a module compiled without -g) and\n"
    "\"    at NAME (native)\" for native code that called script back; of a deep\n"
    "stack, the first and last ten frames with the count between.\n"
    "\n"
    "  --explain-failures       one line on stderr for each DLL failure a script\n"
    "                           gets as false, null or undefined (a DLL or function\n"
    "                           not found, an unknown type, an argument that cannot\n"
    "                           be passed, ...), such as\n"
    "                           \"MulDiv: 2 arguments given, 3 declared\"\n"
    "  --diagnostics=gnu        compile messages as FILE:LINE: error: TEXT (lines\n"
    "                           from 1), the form editors and build systems read\n"
    "  --no-undefined-warnings  no warning when the script reads an undefined global\n"
    "  --warning-locations      after each runtime warning, where it arose as one\n"
    "                           more stdout line, \"    at NAME (FILE:LINE)\" (as\n"
    "                           in an error's stack; trace lines get none)\n"
    "  --strict-strings         warn about line breaks inside string literals\n"
    "  --warn-semicolons        warn wherever a line break, } or the end ends a\n"
    "                           statement\n"
    "  --                       end of the options: the next argument is FILE\n"
    "  --help                   this text\n"
    "  --version                the version and the commit this build was made from\n"
    "\n"
    "Exit status: 0 the script ran to its end; 1 it did not compile, or FILE\n"
    "cannot be read or is not a valid module; 2 a runtime error ended it, or\n"
    "bad usage.\n";

// Engine option bits (the engine's defaults carry the first).
constexpr std::uint32_t kWarnUndefinedGlobal = 0x200;
constexpr std::uint32_t kWarnSemicolons = 0x1000;
constexpr std::uint32_t kStrictStrings = 0x2000;
// Source compiled here keeps its lines, for the frames of a runtime error.
constexpr std::uint32_t kLineTables = 0x20;

int usage(const std::string& problem) {
  std::fprintf(stderr, "quorv: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

// Trace lines and warnings: one line each, in this console's line ends.
void writeLine(void*, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

// Engine texts end their lines with "\r\n" (or nothing, for a single
// line); stderr gets the console's own line ends.
void printToStderr(std::string_view text) {
  std::fflush(stdout);
  std::string lines;
  lines.reserve(text.size() + 1);
  for (char c : text)
    if (c != '\r') lines += c;
  if (!lines.empty() && lines.back() != '\n') lines += '\n';
  std::fputs(lines.c_str(), stderr);
}

// The innermost frame of the code that warned.
void writeWarningLocation(void*, Engine& engine) {
  const std::vector<vm::StackFrame> frames = vm::currentStack(engine, 1);
  if (frames.empty()) return;
  const std::string line = vm::formatStack({frames.front()});
  std::fwrite(line.data(), 1, line.size(), stdout);
}

bool setScriptArgs(Engine& engine, const std::vector<std::string>& args) {
  return runProtected(engine, [&] {
    ArrayRecord* list = newArray(engine, args.size());
    // The global holds the array before its strings are made, so that it
    // is rooted throughout.
    const Atom name = engine.internAnsi("scriptArgs");
    engine.global(name) = Value::array(list);
    for (std::size_t i = 0; i < args.size(); ++i) list->set(engine.heap(), i, makeString(engine, args[i]));
  });
}

} // namespace

int main(int argc, char** argv) {
  EngineOptions options;
  options.flags |= kLineTables;
  bool gnuDiagnostics = false;
  bool explainFailures = false;
  bool warningLocations = false;
  int i = 1;
  for (; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!std::strcmp(a, "--version")) {
      std::puts(plumex::versionLine("quorv").c_str());
      return 0;
    } else if (!std::strcmp(a, "--explain-failures")) {
      explainFailures = true;
    } else if (!std::strcmp(a, "--diagnostics=gnu")) {
      gnuDiagnostics = true;
    } else if (!std::strcmp(a, "--diagnostics=system")) {
      gnuDiagnostics = false;
    } else if (!std::strcmp(a, "--no-undefined-warnings")) {
      options.flags &= ~kWarnUndefinedGlobal;
    } else if (!std::strcmp(a, "--warning-locations")) {
      warningLocations = true;
    } else if (!std::strcmp(a, "--strict-strings")) {
      options.flags |= kStrictStrings;
    } else if (!std::strcmp(a, "--warn-semicolons")) {
      options.flags |= kWarnSemicolons;
    } else if (!std::strcmp(a, "--")) {
      ++i;
      break;
    } else if (a[0] == '-' && a[1] != '\0') {
      return usage(std::string("unknown option ") + a);
    } else {
      break;
    }
  }
  if (i >= argc) return usage("no script given");
  const std::string file = argv[i];
  const std::vector<std::string> scriptArgs(argv + i + 1, argv + argc);

  if (!plumex::fileExists(file)) {
    std::fprintf(stderr, "quorv: can't open the script file: %s\n", file.c_str());
    return 1;
  }

  // The option groups' settings: zero-filled, as a runtime's are before
  // they load, and kept for as long as the engine.
  plumex::container::SettingsRecord settings;
  plumex::hostlib::HostContext context;
  context.optionGroups.record = &settings;
  if (explainFailures) context.dll.explanations.setWriter(printToStderr);
  vm::EngineSetup setup;
  setup.options = options;
  setup.registerClasses = [&context](Engine& e) { plumex::hostlib::registerHostClasses(e, context); };
  const auto engine = vm::createEngine(setup);
  if (!engine) {
    std::fputs("quorv: can't create the script engine\n", stderr);
    return 1;
  }
  engine->setWarningSink(writeLine, nullptr);
  if (warningLocations) engine->setWarningNote(writeWarningLocation, nullptr);
  if (!setScriptArgs(*engine, scriptArgs)) {
    printToStderr(engine->errorText());
    return 1;
  }

  const bool ran = vm::runFile(*engine, file);
  std::fflush(stdout);
  const std::string& text = engine->errorText();
  // Runtime errors (an uncaught throw among them) are raised while the
  // script runs, after its compilation's warnings; anything else stopped
  // it before it started, and the error text says why.
  const bool runtimeError = !ran && text.rfind("Runtime error: ", 0) == 0;
  if (ran || runtimeError) {
    const std::string& warnings = vm::lastCompileMessages(*engine);
    if (!warnings.empty()) printToStderr(gnuDiagnostics ? compiler::gnuDiagnostics(warnings, file) : warnings);
  }
  // A compilation that failed left its messages as the error text.
  if (!ran) printToStderr(gnuDiagnostics && !runtimeError ? compiler::gnuDiagnostics(text, file) : text);
  // Where it arose, innermost first.
  if (runtimeError) printToStderr(vm::formatStack(vm::errorStack(*engine)));
  return ran ? 0 : runtimeError ? 2 : 1;
}
