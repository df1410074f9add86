#include "dictserver/dict_page.h"

#include <algorithm>
#include <optional>

#include "base/percent_decode.h"

namespace quorvo::dictd {

namespace {

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

std::string WithHeaders(int status, std::string_view contentType, std::string_view page) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  out += "Content-Type: ";
  out += contentType;
  out += "\r\nContent-Length: " + std::to_string(page.size()) + "\r\n";
  if (status == 405) out += "Allow: GET\r\n";
  out += "Connection: close\r\n\r\n";
  out += page;
  return out;
}

// Text safe inside an element: markup characters escaped, control and
// non-ASCII bytes shown as "?", cut to the longest word.
std::string EscapeForPage(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, kMaxWordBytes)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
  }
  return out;
}

constexpr std::string_view kPageStart = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><ul>\n";

}  // namespace

HeadState CheckRequestHead(std::string_view received, size_t* headBytes) {
  size_t lineStart = 0;
  while (true) {
    size_t end = received.find('\n', lineStart);
    size_t lineLength = (end == std::string_view::npos ? received.size() : end) - lineStart;
    if (lineLength > kMaxLineBytes + 1) return HeadState::TooLong;  // +1: the CR
    if (end == std::string_view::npos) break;
    if (end + 1 > kMaxHeadBytes) return HeadState::TooLong;
    std::string_view line = received.substr(lineStart, end - lineStart);
    if (line.empty() || line == "\r") {  // the blank line (first of all: an empty request, refused later)
      if (headBytes) *headBytes = end + 1;
      return HeadState::Complete;
    }
    lineStart = end + 1;
  }
  return received.size() >= kMaxHeadBytes ? HeadState::TooLong : HeadState::Incomplete;
}

bool QueryWord(std::string_view target, std::string* word) {
  size_t question = target.find('?');
  if (question == std::string_view::npos) return false;
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    size_t equals = pair.find('=');
    if (pair.substr(0, equals) != "q") continue;
    if (equals == std::string_view::npos) return false;
    std::optional<std::string> decoded = PercentDecode(pair.substr(equals + 1), {.strict = true, .plusIsBlank = true});
    if (!decoded) return false;
    *word = std::move(*decoded);
    return !word->empty();
  }
  return false;
}

std::string TranslationPage(std::string_view word, std::string_view headword, const std::vector<DictPart>& parts,
                            std::string_view phonetic) {
  std::string page(kPageStart);
  for (size_t i = 0; i < parts.size(); ++i) {
    page += "<li><div class=\"blue12other\">" + parts[i].head + "</div> " + parts[i].senses;
    page += i + 1 < parts.size() ? "<br></li>\n" : "</li>\n";
  }
  page += "</ul>";
  if (!phonetic.empty()) {
    page += kPhoneticStart;
    page += phonetic;
    page += kPhoneticEnd;
  }
  page += "<div id=\"listtrans\"><p>" + EscapeForPage(word);
  if (headword != word) page += " &rarr; " + EscapeForPage(headword);
  page += "</p></div></body></html>\n";
  return page;
}

Answer PlainAnswer(int status, std::string_view text) {
  Answer answer;
  answer.status = status;
  answer.bytes = WithHeaders(status, "text/plain; charset=utf-8", std::string(text) + "\n");
  return answer;
}

Answer AnswerRequest(const Dictionary& dictionary, std::string_view head) {
  std::string_view requestLine = head.substr(0, head.find('\n'));
  if (!requestLine.empty() && requestLine.back() == '\r') requestLine.remove_suffix(1);

  size_t firstBlank = requestLine.find(' ');
  size_t secondBlank = firstBlank == std::string_view::npos ? firstBlank : requestLine.find(' ', firstBlank + 1);
  if (secondBlank == std::string_view::npos || requestLine.find(' ', secondBlank + 1) != std::string_view::npos)
    return PlainAnswer(400, "bad request line");
  std::string_view method = requestLine.substr(0, firstBlank);
  std::string_view target = requestLine.substr(firstBlank + 1, secondBlank - firstBlank - 1);
  std::string_view version = requestLine.substr(secondBlank + 1);
  if (method.empty() || target.empty() || target[0] != '/' || version.substr(0, 7) != "HTTP/1.")
    return PlainAnswer(400, "bad request line");
  if (method != "GET") return PlainAnswer(405, "only GET is served");

  std::string_view path = target.substr(0, target.find('?'));
  if (path != kSearchPath) return PlainAnswer(404, "no such page; ask /m/search?q=WORD");
  std::string word;
  if (!QueryWord(target, &word)) return PlainAnswer(400, "missing or badly encoded q");

  Answer answer;
  std::string headword = dictionary.Resolve(word);
  std::vector<DictPart> parts = dictionary.PartsFor(word);
  answer.logNote = EscapeForPage(word) + " -> " + (parts.empty() ? "?" : headword);
  if (parts.empty()) {
    answer.status = 404;
    answer.bytes =
        WithHeaders(404, "text/html; charset=utf-8",
                    std::string(kPageStart) + "</ul><p>No entry for " + EscapeForPage(word) + ".</p></body></html>\n");
    return answer;
  }
  answer.status = 200;
  answer.bytes =
      WithHeaders(200, "text/html; charset=utf-8", TranslationPage(word, headword, parts, dictionary.Phonetic(word)));
  return answer;
}

}  // namespace quorvo::dictd
