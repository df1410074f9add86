// DownloadFile of a 200 MiB file from a loopback HTTP server, against the
// curl command-line tool fetching the same URL into a file of the same
// folder (starting curl included). The server is this program's own: one connection at a time, the
// body sent with sendfile, so the server costs both clients alike and little.
// The file's bytes come from a fixed seed.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "download_file.h"

namespace {

constexpr long long kFileBytes = 200ll * 1024 * 1024;

// Serves every GET with the one file, until destroyed.
class FileServer {
 public:
  explicit FileServer(std::string path) : path_(std::move(path)) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_, 16) != 0 || getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FileServer() {
    stop_.store(true);
    thread_.join();
    close(listen_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big.bin"; }

 private:
  void Serve() {
    while (!stop_.load()) {
      pollfd ready{listen_, POLLIN, 0};
      if (poll(&ready, 1, 100) != 1) continue;
      int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Answer(client);
      close(client);
    }
  }
  void Answer(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<size_t>(n));
    }
    int file = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file < 0 || fstat(file, &info) != 0) std::abort();
    std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(info.st_size) +
        "\r\nConnection: close\r\n\r\n";
    if (send(client, answer.data(), answer.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(answer.size())) {
      off_t offset = 0;
      while (offset < info.st_size)
        if (sendfile(client, file, &offset, static_cast<size_t>(info.st_size - offset)) <= 0) break;
    }
    close(file);
  }

  std::string path_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Fixture {
  Fixture() {
    std::vector<uint64_t> block(1 << 17);  // 1 MiB
    quorvo::bench::SeededRandom random(5);
    int out = open(folder.File("big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (long long written = 0; written < kFileBytes; written += 8ll * static_cast<long long>(block.size())) {
      for (uint64_t& word : block) word = random.Next();
      if (write(out, block.data(), block.size() * 8) != static_cast<ssize_t>(block.size() * 8)) std::abort();
    }
    close(out);
    server = std::make_unique<FileServer>(folder.File("big.bin"));
  }
  bool Received(const std::string& name) const {
    struct stat info {};
    return stat(folder.File(name).c_str(), &info) == 0 && info.st_size == kFileBytes;
  }
  quorvo::bench::ScratchFolder folder;
  std::unique_ptr<FileServer> server;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Both clients in every round, taking turns at going first, so that both
// meet the same machine (page cache, disk write-back, other load).
void BM_Download_SideBySide(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string ours = f.folder.File("ours.bin");
  const std::string curl = "curl --silent --fail --noproxy '*' -o " +
                           quorvo::bench::ShellQuote(f.folder.File("curl.bin")) + " " +
                           quorvo::bench::ShellQuote(f.server->Url());
  using Clock = std::chrono::steady_clock;
  Clock::duration oursTime{}, curlTime{};
  auto timed = [](Clock::duration& total, auto run) {
    auto start = Clock::now();
    bool ok = run();
    total += Clock::now() - start;
    return ok;
  };
  bool ok = true;
  int round = 0;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn + round) % 2 == 0)
        ok &= timed(oursTime, [&] { return quorvo::DownloadFile(f.server->Url(), ours); });
      else
        ok &= timed(curlTime, [&] { return quorvo::bench::RunShell(curl); });
    }
    ++round;
  }
  if (!ok) state.SkipWithError("a download failed");
  if (!f.Received("ours.bin") || !f.Received("curl.bin")) state.SkipWithError("a file is incomplete");
  auto rate = [&](Clock::duration total) {
    return static_cast<double>(kFileBytes) * static_cast<double>(state.iterations()) /
           std::chrono::duration<double>(total).count();
  };
  state.counters["ours_bytes_per_second"] = rate(oursTime);
  state.counters["curl_bytes_per_second"] = rate(curlTime);
}
BENCHMARK(BM_Download_SideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

}  // namespace

BENCHMARK_MAIN();
