// BundledDictionary: quorvo's own quorvo-dictd, started beside quorvo when
// no dictionary host is configured, and ended when quorvo ends.
//
// The service binds 127.0.0.1 on a port the kernel picks (--port 0) and
// writes that port down a pipe (--port-fd) once its data is loaded and it
// listens; quorvo then asks that port only (SetPrivateDictionaryHost of
// lookup/dictionary_host.h). Whatever answers at a fixed port, 8666 or any
// other, is never asked: another user of the machine could have put it there.
//
// quorvo's main calls StartWithoutWaiting() once, from its main thread,
// after the window is shown, and keeps the object until it returns:
//
//   quorvo::BundledDictionary dictionary;
//   dictionary.StartWithoutWaiting(quorvo::ConfiguredDictionaryHost(), layout.dictdFolder);
//
// The service needs a moment (about 170 ms) to load its data; a watcher
// thread waits for its port meanwhile. Start() does the same and waits
// itself. Either must be called from the thread that lives as long as quorvo
// (the main thread): the service is ended by the system when the thread that
// started it ends. With a configured host (non-empty configuredHost, see
// ConfiguredDictionaryHost) nothing is started and the host is used as given.
// The service runs as a child process with its output discarded; it is ended
// by Stop() or the destructor, and by the system should quorvo die first.
//
// The object is used by one thread; its watcher thread is its own.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace quorvo {

enum class BundledDictionaryState {
  OtherHost,         // a host is configured: nothing done
  AlreadyAnswering,  // this object's service runs and answers already
  Started,           // quorvo-dictd was started and reported its port
  Failed,            // it could not be started, or did not answer in time
  Launched,          // started; the watcher waits for it to answer
};

class BundledDictionary {
 public:
  BundledDictionary() = default;
  ~BundledDictionary() { Stop(); }
  BundledDictionary(const BundledDictionary&) = delete;
  BundledDictionary& operator=(const BundledDictionary&) = delete;

  // configuredHost is ConfiguredDictionaryHost(): empty for the own service.
  // Waits up to waitMs for a started service to report its port; a service
  // that ends or stays silent that long is ended and the result is Failed.
  BundledDictionaryState Start(std::string_view configuredHost, const std::string& programFolder, int waitMs = 5000);
  // The same, but returns Launched as soon as the service runs; the watcher
  // thread then waits for it as Start would (State() tells the outcome).
  BundledDictionaryState StartWithoutWaiting(std::string_view configuredHost, const std::string& programFolder,
                                             int waitMs = 5000);
  // The data file handed to the service (--data); empty, the default: the
  // service reads the one beside itself.
  void SetDataFile(std::string path) { dataFile_ = std::move(path); }
  // The outcome of the last start; Launched while the watcher still waits.
  BundledDictionaryState State() const { return state_.load(); }
  // Brings the service back when it is not answering: reaps a service of
  // this object's that has died, ends one that hangs, starts a new one and
  // waits up to waitMs for it. Returns OtherHost, AlreadyAnswering (nothing
  // needed doing), Started or Failed. May be called from any thread (the
  // lookups' workers call it after a refused connection); the new service
  // is started from a keeper thread of this object, so it lives as long as
  // the object, not as long as the caller's thread.
  BundledDictionaryState Revive(std::string_view configuredHost, const std::string& programFolder, int waitMs = 5000);
  // Ends the watcher, the keeper and the service this object started, if
  // any, and waits for them.
  void Stop();
  // The started service's process id; 0 when none runs.
  pid_t pid() const { return pid_.load(); }
  // "127.0.0.1:port" of the started service; empty before it reported.
  std::string Host() const;

 private:
  // Checks and starts the service; Launched when it was started.
  BundledDictionaryState Launch(std::string_view configuredHost, const std::string& programFolder);
  // Waits for the started service to report its port; Started or Failed.
  BundledDictionaryState AwaitPort(int waitMs);
  void SetHost(std::string host);
  // Ends the started service and reaps it.
  void EndService();
  // Runs job on the keeper thread (started on first use) and waits for it.
  void RunOnKeeper(const std::function<void()>& job);
  void StopKeeper();

  std::string dataFile_;
  std::atomic<pid_t> pid_{0};
  int portPipe_ = -1;  // read end of the started service's port pipe, until it reported
  mutable std::mutex hostMutex_;
  std::string host_;  // guarded by hostMutex_
  std::atomic<BundledDictionaryState> state_{BundledDictionaryState::OtherHost};
  std::atomic<bool> stopWatching_{false};
  std::thread watcher_;

  std::mutex reviveMutex_;  // one Revive at a time
  std::mutex keeperMutex_;
  std::condition_variable keeperWake_;
  const std::function<void()>* keeperJob_ = nullptr;  // guarded by keeperMutex_
  bool keeperStop_ = false;                           // guarded by keeperMutex_
  std::thread keeper_;
};

// The folder of the running executable ("." when it cannot be told).
std::string ProgramFolder();

// True when a TCP connection to host[:port] (read as the lookups read it,
// SplitHostPort of page_fetch.h) is accepted within timeoutMs.
bool HostAnswers(std::string_view hostPort, int timeoutMs);

}  // namespace quorvo
