// A stand-in for a running quorvo: installs quorvo's stop handler, says
// "ready" on standard output and waits to be ended. Tests copy it under the
// names they need ("quorvo", "QUORVO", "lexmuse").
#include <unistd.h>

#include "word_app_process.h"

int main() {
  quorvo::InstallStopHandler();
  (void)!write(STDOUT_FILENO, "ready\n", 6);
  for (;;) pause();
}
