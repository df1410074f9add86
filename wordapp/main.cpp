// quorvo: the word application. Keeps its word banks in dict_main.db of the
// working folder (scripts/run.sh starts it next to the installed file).
#include "dict_app.h"
#include "qt_window_ops.h"

int main(int argc, char** argv) {
  quorvo::CdictApp app(argc, argv);
  quorvo::QtWindowOps ops;
  return app.Run(ops.ops());
}
