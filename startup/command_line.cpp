#include "startup/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvo {
namespace {

// Options QGuiApplication and QApplication read themselves, with and without
// a value. Either spelling, "-x" or "--x", is accepted by Qt.
constexpr std::array<std::string_view, 12> kToolkitWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "display",  "geometry",           "style",         "stylesheet", "session"};
constexpr std::array<std::string_view, 3> kToolkitFlags = {"reverse", "widgetcount", "nograb"};

template <size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Help() {
  return "Usage: quorvo [OPTION]\n"
         "A vocabulary trainer for Chinese-speaking learners of English (我的词库).\n"
         "\n"
         "  -h, --help      show this help and exit\n"
         "  -v, --version   show the version and exit\n"
         "\n"
         "Word banks are kept in dict_main.db beside the program when that file (or a\n"
         "file named \"portable\") is there; otherwise in\n"
         "$XDG_DATA_HOME/quorvo/dict_main.db (default ~/.local/share/quorvo/).\n";
}

CommandLineAction Refuse(const std::string& why) {
  return {CommandLineAction::Fail, "quorvo: " + why + "\nTry 'quorvo --help' for more information.\n", 2};
}

}  // namespace

CommandLineAction ReadCommandLine(const std::vector<std::string>& args, const std::string& version) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return {CommandLineAction::Print, Help(), 0};
    if (arg == "--version" || arg == "-v") return {CommandLineAction::Print, "quorvo " + version + "\n", 0};
    if (arg.size() < 2 || arg[0] != '-') return Refuse("unexpected argument '" + arg + "'");
    std::string_view name(arg);
    name.remove_prefix(name[1] == '-' ? 2 : 1);
    if (Among(kToolkitFlags, name)) continue;
    if (Among(kToolkitWithValue, name)) {
      if (i + 1 >= args.size()) return Refuse("option '" + arg + "' needs a value");
      ++i;
      continue;
    }
    return Refuse("unknown option '" + arg + "'");
  }
  return {};
}

}  // namespace quorvo
