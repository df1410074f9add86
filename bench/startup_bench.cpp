// quorvo's start: from starting the program to its main window painted for
// the first time, offscreen, in a folder holding the installed dict_main.db.
// quorvo starts the bundled dictionary service (the build's host, nothing
// answering there) and its update check against a server that accepts the
// connection and never answers, so a start that waited for either would
// show. quorvo reports the painted window on a pipe (QUORVO_SHOWN_FD) and is
// then ended; the time to end it is not counted.
//
// The peer: this program started again as an empty Qt window (a QWidget,
// shown, reported the same way): what any Qt program pays to start here.
//
// Each start is one repetition; bench/run.sh reads the median.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "dictserver/dictd_launcher.h"
#include "wordapp/shown_report.h"

namespace {

constexpr char kEmptyWindowArgument[] = "--empty-window";

// A loopback port that accepts connections (the kernel completes them) and
// never reads or answers.
class SilentServer {
 public:
  SilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 64) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { close(fd_); }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

struct Fixture {
  Fixture() : folder(true) {
    std::filesystem::copy_file(quorvo::ProgramFolder() + "/dict_main.db", folder.File("dict_main.db"));
  }
  quorvo::bench::ScratchFolder folder;
  SilentServer updateServer;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Starts program (with its arguments) and returns the seconds until it
// reported its window, or a negative value when it never did. The program
// is ended and reaped afterwards.
double TimeToShown(const std::vector<std::string>& command) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  std::string fdText = std::to_string(report[1]);
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    fcntl(report[1], F_SETFD, 0);  // the write end goes to the program
    setenv(quorvo::kShownReportVariable, fdText.c_str(), 1);
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(report[1]);
  char line[16] = {};
  ssize_t got = child > 0 ? read(report[0], line, sizeof line - 1) : -1;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(report[0]);
  if (child > 0) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  return got > 0 && std::strncmp(line, "shown\n", 6) == 0 ? seconds : -1;
}

void RunStarts(benchmark::State& state, const std::vector<std::string>& command) {
  Shared();
  TimeToShown(command);  // the first start reads the libraries from disk
  for (auto _ : state) {
    double seconds = TimeToShown(command);
    if (seconds < 0) {
      state.SkipWithError("the program did not report its window");
      return;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_Start_Quorvo(benchmark::State& state) {
  setenv("QUORVO_UPDATE_SERVER", Shared().updateServer.Base().c_str(), 1);
  // No host configured: quorvo starts its own service on a port the
  // kernel picks, as a learner's does.
  unsetenv("QUORVO_DICT_HOST");
  RunStarts(state, {quorvo::ProgramFolder() + "/quorvo"});
}
BENCHMARK(BM_Start_Quorvo)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

void BM_Start_EmptyQtWindow(benchmark::State& state) {
  RunStarts(state, {quorvo::ProgramFolder() + "/quorvo_bench_startup", kEmptyWindowArgument});
}
BENCHMARK(BM_Start_EmptyQtWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

int EmptyWindow(int argc, char** argv) {
  int fd = quorvo::TakeShownReportFd();
  QApplication app(argc, argv);
  QWidget window;
  window.resize(640, 480);
  quorvo::AfterFirstPaint(&window, [fd] { quorvo::ReportShown(fd); });
  window.show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc > 1 && std::strcmp(argv[1], kEmptyWindowArgument) == 0) return EmptyWindow(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
