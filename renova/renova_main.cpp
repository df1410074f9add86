// renova: the updater. Started by quorvo when the update server offers
// another version, or by hand; reads no arguments.
#include "base/diagnostics.h"
#include "renova/crenova_app.h"

int main(int argc, char** argv) {
  // What the update road refuses or skips, for a terminal or a log.
  quorvo::SetDiagnosticSink(quorvo::PrintDiagnostic);
  quorvo::CrenovaApp app(argc, argv);
  app.InitInstance();
  return 0;
}
