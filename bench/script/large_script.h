#pragma once
// A large generated script for the compiler benchmarks.

#include <string>

namespace plumex::bench {

// About 8 MB of the code an application script holds: functions, loops,
// calls, strings, object and array literals, comments.
inline const std::string& largeScript() {
  static const std::string text = [] {
    std::string s;
    for (int i = 0; s.size() < 8 * 1024 * 1024; ++i) {
      const std::string n = std::to_string(i);
      s += "// handler " + n + "\n"
           "function onCommand" + n + "(command, args) {\n"
           "  var result = { name: \"cmd" + n + "\", count: 0, items: [1, 2.5, 'three', null] };\n"
           "  for (var i = 0; i < args.length; i++) {\n"
           "    if (args[i] == \"stop\" || args[i] === undefined) break;\n"
           "    result.count += args[i].length * 2 - (i % 3);\n"
           "  }\n"
           "  switch (command) {\n"
           "    case \"open\": result.file = new File(Application.getAppDir() + \"\\\\data" + n + ".txt\"); break;\n"
           "    default: trace(\"unknown command \" + command + \" #" + n + "\");\n"
           "  }\n"
           "  return result.count > 0 ? result : /^cmd[0-9]+$/i.test(command);\n"
           "}\n";
    }
    return s;
  }();
  return text;
}

} // namespace plumex::bench
