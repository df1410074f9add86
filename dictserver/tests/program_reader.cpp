#include "program_reader.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "dictd_process.h"

namespace quorvo::dictd::testing {

namespace {

const std::string kStart = "blue12other\">";
const std::string kEnd = "id=\"listtrans\"";
const std::string kError = "\xB3\xF6\xB4\xED";  // "出错" in GBK
constexpr size_t kPageBuffer = 3072;
constexpr size_t kTranslationLimit = 1023;

}  // namespace

std::vector<std::string> SplitIntoChunks(const std::string& answer, size_t size) {
  std::vector<std::string> chunks;
  for (size_t at = 0; at < answer.size(); at += size) chunks.push_back(answer.substr(at, size));
  return chunks;
}

std::string KeepChunks(const std::vector<std::string>& chunks) {
  std::string page;
  bool collecting = false;
  bool endSeen = false;
  for (const std::string& received : chunks) {
    std::string chunk = received.substr(0, received.find('\0'));
    if (chunk.find(kError) != std::string::npos) break;
    if (endSeen) break;
    if (chunk.find(kStart) != std::string::npos) collecting = true;
    if (chunk.find(kEnd) != std::string::npos) endSeen = true;
    if (!collecting) continue;
    if (page.size() + chunk.size() >= kPageBuffer) break;
    page += chunk;
  }
  return page;
}

std::string CutTranslation(const std::string& page) {
  std::string out;
  size_t end = page.find(kEnd);
  size_t start = page.find(kStart);
  if (end == std::string::npos || start == std::string::npos || start > end) return out;
  auto put = [&out](char c) {
    if (out.size() < kTranslationLimit) out += c;
  };
  while (start != std::string::npos && start < end && out.size() < kTranslationLimit) {
    size_t i = start + kStart.size();
    while (i < page.size() && page[i] != '<') put(page[i++]);  // head
    if (i >= page.size()) break;
    i += 6;                                                    // "<" and five more
    bool lastWasBlank = false;
    bool wroteAny = false;
    while (i < page.size() && page[i] != '<') {                // body
      char c = page[i++];
      if (c == '\r' || c == '\n') {
        while (i < page.size() && page[i] != '<') ++i;
        break;
      }
      if (c == ' ' && wroteAny && lastWasBlank) continue;
      put(c);
      wroteAny = true;
      lastWasBlank = c == ' ';
    }
    if (i >= page.size()) break;
    ++i;                                                       // the "<"
    if (i < page.size() && page[i] == 'b') put('\n');
    start = page.find(kStart, i);
  }
  return out;
}

std::string ReadLikeProgram(int port, const std::string& word) {
  int fd = ConnectLoopback(port);
  if (fd < 0) return "";
  std::string request = ProgramRequest(port, word);
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    close(fd);
    return "";
  }
  std::vector<std::string> chunks;
  char buffer[512];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) chunks.emplace_back(buffer, static_cast<size_t>(n));
  close(fd);
  return CutTranslation(KeepChunks(chunks));
}

}  // namespace quorvo::dictd::testing
