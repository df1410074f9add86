// A stand-in for a running quorvo: installs quorvo's stop handler, says
// "ready" on standard output and waits to be ended. Tests copy it under the
// names they need ("quorvo", "QUORVO", "lexmuse"). With "--ignore-stop" it
// ignores SIGTERM; with "--stuck-on-stop" its stop work never ends the
// program, so only the handler's own time limit does.
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "update/word_app_process.h"

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "--ignore-stop") == 0)
    signal(SIGTERM, SIG_IGN);
  else if (std::strcmp(mode, "--stuck-on-stop") == 0)
    quorvo::InstallStopHandler([] {});
  else
    quorvo::InstallStopHandler();
  (void)!write(STDOUT_FILENO, "ready\n", 6);
  for (;;) pause();
}
