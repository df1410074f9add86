// BundledDictionary: starts quorvo-dictd beside quorvo when quorvo is set to
// the build's own dictionary host and nothing answers there, and ends it when
// quorvo ends.
//
// quorvo's main calls StartWithoutWaiting() once, from its main thread,
// before the window opens, and keeps the object until it returns:
//
//   quorvo::BundledDictionary dictionary;
//   dictionary.StartWithoutWaiting(quorvo::DictionaryHost(), quorvo::BuildDictionaryHost(),
//                                  quorvo::ProgramFolder());
//
// The service needs a moment (about 170 ms) to load its data; quorvo shows
// its window meanwhile, and a watcher thread waits for the service instead.
// Start() does the same and waits itself. Either must be called from the
// thread that lives as long as quorvo (the main thread): the service is ended
// by the system when the thread that started it ends.
// where DictionaryHost() (lookup/dictionary_host.h) is the host the lookups
// will use: the environment's QUORVO_DICT_HOST when set, else the build's. With any other host
// configured, or with something already answering there, nothing is started.
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
  OtherHost,         // a host other than the build's is configured: nothing done
  AlreadyAnswering,  // something accepts connections there already
  Started,           // quorvo-dictd was started and answers
  Failed,            // it could not be started, or did not answer in time
  Launched,          // started; the watcher waits for it to answer
};

class BundledDictionary {
 public:
  BundledDictionary() = default;
  ~BundledDictionary() { Stop(); }
  BundledDictionary(const BundledDictionary&) = delete;
  BundledDictionary& operator=(const BundledDictionary&) = delete;

  // configuredHost and buildDefault are "host[:port]" (port 80 when none).
  // Waits up to waitMs for a started service to answer; a service that ends
  // or stays silent that long is ended and the result is Failed.
  BundledDictionaryState Start(std::string_view configuredHost, std::string_view buildDefault,
                               const std::string& programFolder, int waitMs = 5000);
  // The same, but returns Launched as soon as the service runs; the watcher
  // thread then waits for it as Start would (State() tells the outcome).
  BundledDictionaryState StartWithoutWaiting(std::string_view configuredHost, std::string_view buildDefault,
                                             const std::string& programFolder, int waitMs = 5000);
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
  BundledDictionaryState Revive(std::string_view configuredHost, std::string_view buildDefault,
                                const std::string& programFolder, int waitMs = 5000);
  // Ends the watcher, the keeper and the service this object started, if
  // any, and waits for them.
  void Stop();
  // The started service's process id; 0 when none runs.
  pid_t pid() const { return pid_.load(); }

 private:
  // Checks and starts the service; Launched when it was started.
  BundledDictionaryState Launch(std::string_view configuredHost, std::string_view buildDefault,
                                const std::string& programFolder);
  // Waits for the started service to answer at host; Started or Failed.
  BundledDictionaryState AwaitAnswer(const std::string& host, int waitMs);
  // Ends the started service and reaps it.
  void EndService();
  // Runs job on the keeper thread (started on first use) and waits for it.
  void RunOnKeeper(const std::function<void()>& job);
  void StopKeeper();

  std::string dataFile_;
  std::atomic<pid_t> pid_{0};
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

// The build's dictionary host (the CMake setting QUORVO_DICT_HOST), which
// the bundled service serves.
std::string_view BuildDictionaryHost();

// The folder of the running executable ("." when it cannot be told).
std::string ProgramFolder();

// True when a TCP connection to host[:port] (read as the lookups read it,
// SplitHostPort of page_fetch.h) is accepted within timeoutMs.
bool HostAnswers(std::string_view hostPort, int timeoutMs);

}  // namespace quorvo
