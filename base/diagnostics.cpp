#include "base/diagnostics.h"

#include <cstdio>
#include <mutex>

namespace quorvo {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

DiagnosticSink& Sink() {
  static DiagnosticSink sink;
  return sink;
}

}  // namespace

DiagnosticSink SetDiagnosticSink(DiagnosticSink sink) {
  std::lock_guard lock(SinkMutex());
  std::swap(Sink(), sink);
  return sink;
}

void Diagnostic(std::string_view line) {
  DiagnosticSink sink;
  {
    std::lock_guard lock(SinkMutex());
    sink = Sink();
  }
  if (sink) sink(line);
}

void PrintDiagnostic(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace quorvo
