// quorvo-dictd: the dictionary service bundled with quorvo.
//
//   quorvo-dictd [--address ADDR] [--port PORT] [--port-fd FD] [--data FILE]
//                [--max-connections N] [--timeout-ms MS] [--quiet]
//
// Answers GET /m/search?...&q=WORD with the word's translation page. Binds
// 127.0.0.1:8666 unless told otherwise (ADDR is a numeric IPv4 or IPv6
// address, or localhost); the data file defaults to
// quorvo-dict.tsv beside the executable. Once listening it prints one line,
// "quorvo-dictd listening on ADDR:PORT", on standard output (PORT is the
// bound one, useful with --port 0). Logs one line per request on standard
// error. With --port-fd, the bound port is also written as one line, "PORT\n",
// to the open descriptor FD, which is then closed: quorvo starts the service
// with --port 0 and learns the port the kernel picked this way, before any
// request is served. Ends on SIGTERM or SIGINT.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/program_folder.h"
#include "dictserver/dict_server.h"
#include "dictserver/dictionary.h"

namespace {

quorvo::dictd::DictServer* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->Stop();
}

int Usage(const char* message) {
  if (message) std::fprintf(stderr, "quorvo-dictd: %s\n", message);
  std::fprintf(stderr,
               "usage: quorvo-dictd [--address ADDR] [--port PORT] [--port-fd FD] [--data FILE]\n"
               "                    [--max-connections N] [--timeout-ms MS] [--quiet]\n");
  return 2;
}

bool ReadNumber(const char* text, long lowest, long highest, long* value) {
  char* end = nullptr;
  long number = std::strtol(text, &end, 10);
  if (!*text || *end || number < lowest || number > highest) return false;
  *value = number;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  quorvo::dictd::ServerOptions options;
  std::string folder = quorvo::ExecutableFolder();
  std::string dataPath = (folder.empty() ? "." : folder) + "/quorvo-dict.tsv";
  int portFd = -1;
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      Usage(nullptr);
      return 0;
    }
    if (option == "--quiet") {
      options.log = nullptr;
      continue;
    }
    if (i + 1 >= argc) return Usage("an option lacks its value");
    const char* value = argv[++i];
    long number = 0;
    if (option == "--address") {
      options.address = value;
    } else if (option == "--port") {
      if (!ReadNumber(value, 0, 65535, &number)) return Usage("--port wants 0 to 65535");
      options.port = static_cast<int>(number);
    } else if (option == "--port-fd") {
      if (!ReadNumber(value, 3, 1 << 20, &number)) return Usage("--port-fd wants an open descriptor above 2");
      portFd = static_cast<int>(number);
    } else if (option == "--data") {
      dataPath = value;
    } else if (option == "--max-connections") {
      if (!ReadNumber(value, 1, 4096, &number)) return Usage("--max-connections wants 1 to 4096");
      options.maxConnections = static_cast<size_t>(number);
    } else if (option == "--timeout-ms") {
      if (!ReadNumber(value, 10, 600000, &number)) return Usage("--timeout-ms wants 10 to 600000");
      options.readTimeoutMs = static_cast<int>(number);
    } else {
      return Usage("unknown option");
    }
  }

  quorvo::dictd::Dictionary dictionary;
  quorvo::dictd::LoadReport report;
  if (!dictionary.Load(dataPath, &report)) {
    std::fprintf(stderr, "quorvo-dictd: cannot read dictionary data %s\n", dataPath.c_str());
    return 1;
  }

  std::signal(SIGPIPE, SIG_IGN);
  quorvo::dictd::DictServer server(dictionary, options);
  std::string error;
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "quorvo-dictd: %s\n", error.c_str());
    return 1;
  }
  g_server = &server;
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);

  std::printf("quorvo-dictd listening on %s:%d\n", options.address.c_str(), server.port());
  std::fflush(stdout);
  if (portFd >= 0) {
    std::string line = std::to_string(server.port()) + "\n";
    bool told = write(portFd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(portFd);
    if (!told) {
      std::fprintf(stderr, "quorvo-dictd: cannot write the port to descriptor %d\n", portFd);
      return 1;
    }
  }
  server.Note("quorvo-dictd: " + std::to_string(report.headwords) + " headwords, " + std::to_string(report.aliases) +
              " irregular forms from " + dataPath + " (" + std::to_string(report.skippedLines) + " lines skipped)");
  server.Run();
  g_server = nullptr;
  return 0;
}
