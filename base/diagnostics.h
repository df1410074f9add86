// Diagnostic lines: the engine's short background reports ("open file
// failed.", "创建table的SQL成功执行.", what the update road refused).
//
// Libraries never print. They hand a line to Diagnostic(); the program
// decides where it goes by installing a sink once at start, before any
// other thread runs (quorvo and renova send the lines to stdout, each
// followed by an end of line and flushed). Without a sink the lines go
// nowhere. Diagnostic() may be called from any thread; the sink is called
// on the caller's thread and must be safe for that.
#pragma once

#include <functional>
#include <string_view>

namespace quorvo {

using DiagnosticSink = std::function<void(std::string_view line)>;

// Installs the sink (empty: lines are dropped); returns the one before.
DiagnosticSink SetDiagnosticSink(DiagnosticSink sink);
void Diagnostic(std::string_view line);
// A sink that writes each line and an end of line to stdout and flushes.
void PrintDiagnostic(std::string_view line);

}  // namespace quorvo
