// DownloadFile of a 200 MiB file from a loopback HTTP server, against the
// curl command-line tool fetching the same URL into a file of the same
// folder (starting curl included). The server is this program's own: one connection at a time, the
// body sent with sendfile, so the server costs both clients alike and little.
// The file's bytes come from a fixed seed.
//
// And a signed update of 200 MiB (four files of 50 MiB): renova's road
// (manifest and signature fetched and verified, every file downloaded into
// the staging folder, its size and digest checked, flushed, renamed into
// place, the version recorded), against one curl call fetching the same four
// files followed by sha256sum of them.
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
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_util.h"
#include "bench/bench_support.h"
#include "update/download_file.h"
#include "update/file_digest.h"
#include "update/release_signature.h"
#include "update/renova_road.h"

namespace {

constexpr long long kFileBytes = 200ll * 1024 * 1024;

// Serves every GET with the file of that path below the root folder, until
// destroyed.
class FileServer {
 public:
  explicit FileServer(std::string root) : root_(std::move(root)) {
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
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Url() const { return Base() + "/big.bin"; }

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
    size_t pathStart = head.find(' ') + 1;
    std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
    int file = path.find("..") == std::string::npos ? open((root_ + path).c_str(), O_RDONLY | O_CLOEXEC) : -1;
    struct stat info {};
    if (file < 0 || fstat(file, &info) != 0) {
      static const char kNotFound[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      send(client, kNotFound, sizeof kNotFound - 1, MSG_NOSIGNAL);
      if (file >= 0) close(file);
      return;
    }
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

  std::string root_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void WriteSeeded(const std::string& path, long long bytes, uint64_t seed) {
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  quorvo::bench::SeededRandom random(seed);
  int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  for (long long written = 0; written < bytes; written += 8ll * static_cast<long long>(block.size())) {
    for (uint64_t& word : block) word = random.Next();
    if (write(out, block.data(), block.size() * 8) != static_cast<ssize_t>(block.size() * 8)) std::abort();
  }
  close(out);
}

struct Fixture {
  Fixture() {
    WriteSeeded(folder.File("big.bin"), kFileBytes, 5);
    server = std::make_unique<FileServer>(folder.path());
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
        ok &= timed(oursTime, [&] {
          unlink(ours.c_str());  // DownloadFile makes only new files
          return quorvo::DownloadFile(f.server->Url(), ours).ok();
        });
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

constexpr int kUpdateFiles = 4;
constexpr long long kUpdateFileBytes = 50ll * 1024 * 1024;

// A signed release of four 50 MiB files below site/lexmuse, signed by a key
// made for the run.
struct SignedRelease {
  SignedRelease() {
    Fixture& f = Shared();
    std::string dir = f.folder.File("site/lexmuse");
    if (!quorvo::bench::RunShell("mkdir -p " + quorvo::bench::ShellQuote(dir))) std::abort();
    std::optional<quorvo::ReleaseKeyPair> pair = quorvo::GenerateReleaseKeyPair();
    if (!pair) std::abort();
    trust.publicKey = pair->publicKey;
    std::string manifest = "[update]\nversion=2\nfile_count=" + std::to_string(kUpdateFiles) + "\n";
    for (int i = 1; i <= kUpdateFiles; ++i) {
      std::string name = "part" + std::to_string(i) + ".dat";
      WriteSeeded(dir + "/" + name, kUpdateFileBytes, 100 + i);
      std::string n = std::to_string(i);
      urls.push_back(f.server->Base() + "/site/lexmuse/" + name);
      std::optional<quorvo::FileDigest> digest = quorvo::DigestOfFile(dir + "/" + name);
      if (!digest) std::abort();
      manifest += "file_" + n + "=" + urls.back() + "\nsha256_" + n + "=" + digest->sha256 + "\nsize_" + n + "=" +
                  std::to_string(kUpdateFileBytes) + "\n";
    }
    // A signed manifest carries the last day it may be used.
    manifest += "renova_sha256=" + quorvo::Sha256HexOf("renova") + "\nrenova_size=6\nexpires=2999-12-31\n";
    std::optional<std::string> signature = quorvo::SignRelease(pair->secret, manifest);
    if (!signature || !quorvo::ReplaceFileAtomically(dir + "/webconfig.ini", manifest, 0644).ok() ||
        !quorvo::ReplaceFileAtomically(dir + "/webconfig.ini.sig", quorvo::Base64Encode(*signature), 0644).ok())
      std::abort();
    base = f.server->Base() + "/site";
  }
  quorvo::UpdateTrust trust;
  std::vector<std::string> urls;
  std::string base;
};

void BM_SignedUpdate_SideBySide(benchmark::State& state) {
  Fixture& f = Shared();
  static SignedRelease release;
  const std::string app = f.folder.File("app");
  const std::string peer = f.folder.File("peer");
  std::string curl = "mkdir -p " + quorvo::bench::ShellQuote(peer) + " && cd " + quorvo::bench::ShellQuote(peer) +
                     " && curl --silent --fail --noproxy '*'";
  std::string sums = "sha256sum";
  for (int i = 0; i < kUpdateFiles; ++i) {
    std::string name = "part" + std::to_string(i + 1) + ".dat";
    curl += " -o " + name + " " + quorvo::bench::ShellQuote(release.urls[static_cast<size_t>(i)]);
    sums += " " + name;
  }
  curl += " && " + sums + " >/dev/null";

  using Clock = std::chrono::steady_clock;
  Clock::duration oursTime{}, peerTime{};
  bool ok = true;
  int round = 0;
  auto runOurs = [&] {
    // Version 1 installed, none of the files yet; set up outside the clock.
    quorvo::bench::RunShell("rm -rf " + quorvo::bench::ShellQuote(app) + " && mkdir -p " +
                            quorvo::bench::ShellQuote(app));
    if (!quorvo::ReplaceFileAtomically(app + "/config.ini", "[update]\nversion=1\n", 0644).ok()) return false;
    quorvo::RenovaRoadEnv env;
    env.serverBase = release.base;
    env.trust = release.trust;
    env.hooks.findWordApp = [] { return -1; };
    env.hooks.stopWordApp = [](int) {};
    auto start = Clock::now();
    quorvo::UpdateManifest manifest = quorvo::OpenRenovaRoad(app, env).manifest;
    quorvo::SilentUpdateRunView view;
    bool recorded = manifest.verified && quorvo::RunRenovaRoad(app, manifest, view, env).versionRecorded;
    oursTime += Clock::now() - start;
    return recorded;
  };
  auto runPeer = [&] {
    quorvo::bench::RunShell("rm -rf " + quorvo::bench::ShellQuote(peer));
    auto start = Clock::now();
    bool done = quorvo::bench::RunShell(curl);
    peerTime += Clock::now() - start;
    return done;
  };
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) ok &= (turn + round) % 2 == 0 ? runOurs() : runPeer();
    ++round;
  }
  if (!ok) state.SkipWithError("an update or a peer run failed");
  auto perRun = [&](Clock::duration total) {
    return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(state.iterations());
  };
  state.counters["ours_ms"] = perRun(oursTime);
  state.counters["peer_ms"] = perRun(peerTime);
}
BENCHMARK(BM_SignedUpdate_SideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

}  // namespace

BENCHMARK_MAIN();
