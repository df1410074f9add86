#include "startup/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

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
         "       quorvo --export BANK FILE [--known 0|1] [--min-hot N]\n"
         "       quorvo --import FILE --bank NAME\n"
         "       quorvo --list-banks\n"
         "\n"
         "A vocabulary trainer for Chinese-speaking learners of English (我的词库).\n"
         "\n"
         "  -h, --help      show this help and exit\n"
         "  -v, --version   show the version and exit\n"
         "\n"
         "Word commands (no window; exit status 0 only when everything was written):\n"
         "  --export BANK FILE   write the bank's words to FILE: .csv (a spreadsheet),\n"
         "                       .txt (Anki's text import) or .apkg (an Anki deck)\n"
         "    --known 0|1        only the words not known (0) or known (1)\n"
         "    --min-hot N        only the words with a hot value of at least N\n"
         "  --import FILE --bank NAME\n"
         "                       bring a CSV, Anki text file or word list into the\n"
         "                       bank NAME (made when missing); words without a\n"
         "                       translation are looked up, progress on stderr\n"
         "  --list-banks         list the banks and their word counts\n"
         "\n"
         "Word banks are kept in dict_main.db beside the program when that file (or a\n"
         "file named \"portable\") is there; otherwise in\n"
         "$XDG_DATA_HOME/quorvo/dict_main.db (default ~/.local/share/quorvo/).\n";
}

CommandLineAction Said(CommandLineAction::Kind kind, std::string text, int exitCode) {
  CommandLineAction action;
  action.kind = kind;
  action.text = std::move(text);
  action.exitCode = exitCode;
  return action;
}

CommandLineAction Refuse(const std::string& why) {
  return Said(CommandLineAction::Fail, "quorvo: " + why + "\nTry 'quorvo --help' for more information.\n", 2);
}

bool ParseInteger(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() > 19) return false;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  *value = std::stoll(text);
  return true;
}

}  // namespace

CommandLineAction ReadCommandLine(const std::vector<std::string>& args, const std::string& version) {
  CommandLineAction word;
  word.kind = CommandLineAction::Run;
  bool bankGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return Said(CommandLineAction::Print, Help(), 0);
    if (arg == "--version" || arg == "-v") return Said(CommandLineAction::Print, "quorvo " + version + "\n", 0);
    auto takeValue = [&](std::string* value) {
      if (i + 1 >= args.size()) return false;
      *value = args[++i];
      return true;
    };
    auto command = [&](CommandLineAction::Kind kind) {
      if (word.kind != CommandLineAction::Run) return false;
      word.kind = kind;
      return true;
    };
    if (arg == "--export") {
      if (!command(CommandLineAction::Export)) return Refuse("only one of --export, --import, --list-banks");
      if (!takeValue(&word.bank) || !takeValue(&word.file)) return Refuse("'--export' needs a bank and a file");
      continue;
    }
    if (arg == "--import") {
      if (!command(CommandLineAction::Import)) return Refuse("only one of --export, --import, --list-banks");
      if (!takeValue(&word.file)) return Refuse("'--import' needs a file");
      continue;
    }
    if (arg == "--list-banks") {
      if (!command(CommandLineAction::ListBanks)) return Refuse("only one of --export, --import, --list-banks");
      continue;
    }
    if (arg == "--bank") {
      if (!takeValue(&word.bank)) return Refuse("'--bank' needs a name");
      bankGiven = true;
      continue;
    }
    if (arg == "--known") {
      std::string value;
      if (!takeValue(&value) || (value != "0" && value != "1")) return Refuse("'--known' takes 0 or 1");
      word.known = value == "1";
      continue;
    }
    if (arg == "--min-hot") {
      std::string value;
      int64_t hot = 0;
      if (!takeValue(&value) || !ParseInteger(value, &hot)) return Refuse("'--min-hot' takes a whole number");
      word.minHot = hot;
      continue;
    }
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
  if (word.kind == CommandLineAction::Import && !bankGiven) return Refuse("'--import' needs '--bank NAME'");
  if (word.kind != CommandLineAction::Import && bankGiven) return Refuse("'--bank' goes with '--import'");
  if (word.kind != CommandLineAction::Export && (word.known || word.minHot))
    return Refuse("'--known' and '--min-hot' go with '--export'");
  if (word.kind == CommandLineAction::Run) return {};
  return word;
}

}  // namespace quorvo
