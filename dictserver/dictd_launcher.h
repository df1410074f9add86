// BundledDictionary: starts quorvo-dictd beside quorvo when quorvo is set to
// the build's own dictionary host and nothing answers there, and ends it when
// quorvo ends.
//
// quorvo's main calls Start() once, from its main thread, before the window
// opens, and keeps the object until it returns:
//
//   quorvo::BundledDictionary dictionary;
//   dictionary.Start(quorvo::DictionaryHost(), quorvo::BuildDictionaryHost(), quorvo::ProgramFolder());
//
// where DictionaryHost() (lookup/dictionary_host.h) is the host the lookups
// will use: the environment's QUORVO_DICT_HOST when set, else the build's. With any other host
// configured, or with something already answering there, nothing is started.
// The service runs as a child process with its output discarded; it is ended
// by Stop() or the destructor, and by the system should quorvo die first.
//
// The object is used by one thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace quorvo {

enum class BundledDictionaryState {
  OtherHost,         // a host other than the build's is configured: nothing done
  AlreadyAnswering,  // something accepts connections there already
  Started,           // quorvo-dictd was started and answers
  Failed,            // it could not be started, or did not answer in time
};

class BundledDictionary {
 public:
  BundledDictionary() = default;
  ~BundledDictionary() { Stop(); }
  BundledDictionary(const BundledDictionary&) = delete;
  BundledDictionary& operator=(const BundledDictionary&) = delete;

  // configuredHost and buildDefault are "host[:port]" (port 80 when none).
  // Waits up to waitMs for a started service to answer.
  BundledDictionaryState Start(std::string_view configuredHost, std::string_view buildDefault,
                               const std::string& programFolder, int waitMs = 5000);
  // Ends the service this object started, if any, and waits for it.
  void Stop();
  // The started service's process id; 0 when none runs.
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
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
