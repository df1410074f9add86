#include "testing/loopback_dictionary.h"

namespace quorvo::testing {

LoopbackDictionary::LoopbackDictionary(Lookup lookup)
    : lookup_(std::move(lookup)), server_([this](LoopbackConnection& c) { Serve(c); }) {}

void LoopbackDictionary::Serve(LoopbackConnection& connection) {
  std::string head = connection.ReadRequestHead();
  std::string word = QueryValue(RequestTarget(head), "q");
  std::string phonetic;
  {
    std::lock_guard lock(mutex_);
    ++requested_[word];
    heads_.push_back(head);
    auto it = phonetics_.find(word);
    if (it != phonetics_.end()) phonetic = it->second;
  }
  connection.Send(Answer(lookup_(word), phonetic));
}

void LoopbackDictionary::SetPhonetics(std::map<std::string, std::string> phonetics) {
  std::lock_guard lock(mutex_);
  phonetics_ = std::move(phonetics);
}

std::map<std::string, int> LoopbackDictionary::RequestedWords() const {
  std::lock_guard lock(mutex_);
  return requested_;
}

std::vector<std::string> LoopbackDictionary::RequestHeads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

std::string LoopbackDictionary::Answer(const std::optional<Parts>& parts, const std::string& phonetic) {
  std::string page = "<html><body>";
  if (parts) {
    page += "<ul>";
    // "</em>" and one blank are the six characters between head and body.
    for (const auto& [head, body] : *parts)
      page += "<li><span class=\"blue12other\">" + head + "</em>  " + body + "<br/></li>";
    if (!phonetic.empty()) page += "<span class=\"phonetic\">" + phonetic + "</span>";
    page += "</ul><div id=\"listtrans\"></div>";
  } else {
    page += "<p>no result</p>";
  }
  page += "</body></html>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
         std::to_string(page.size()) + "\r\n\r\n" + page;
}

}  // namespace quorvo::testing
