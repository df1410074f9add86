// LoopbackDictionary: a dictionary service for tests, on 127.0.0.1 and a
// free port, that answers the lookup's page request the way the online
// dictionary's mobile search does.
//
// A known word's page carries one part per (head, body) pair between the
// start marker and the end marker; the lookup cuts each part out as
// head + " " + body + a line feed. An unknown word's page has no markers.
// A word given a phonetic carries it in <span class="phonetic">...</span>
// after its last part, before the end marker. Each answer is sent with one
// write and kept under 512 bytes where the
// translation allows, so a reader's chunks never split a marker.
//
// Threads: serves many connections at once; the counters may be read from
// any thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testing/loopback_server.h"

namespace quorvo::testing {

class LoopbackDictionary {
 public:
  // UTF-8 (head, body) parts of a word's translation.
  using Parts = std::vector<std::pair<std::string, std::string>>;
  // The parts for a word (the q value of the request); nullopt: unknown.
  using Lookup = std::function<std::optional<Parts>(const std::string& word)>;

  explicit LoopbackDictionary(Lookup lookup);

  // UTF-8 phonetics by word, for the pages served from now on.
  void SetPhonetics(std::map<std::string, std::string> phonetics);

  std::string HostPort() const { return server_.HostPort(); }
  int RequestCount() const { return server_.ConnectionCount(); }
  // How often each word was asked for.
  std::map<std::string, int> RequestedWords() const;
  // Request heads as received, in order of arrival.
  std::vector<std::string> RequestHeads() const;
  void Stop() { server_.Stop(); }

  // The whole answer (status line, headers, page) for a word's parts.
  static std::string Answer(const std::optional<Parts>& parts, const std::string& phonetic = {});

 private:
  void Serve(LoopbackConnection& connection);

  Lookup lookup_;
  mutable std::mutex mutex_;
  std::map<std::string, int> requested_;          // guarded by mutex_
  std::vector<std::string> heads_;                // guarded by mutex_
  std::map<std::string, std::string> phonetics_;  // guarded by mutex_
  LoopbackServer server_;                         // last: stops before the rest goes
};

}  // namespace quorvo::testing
