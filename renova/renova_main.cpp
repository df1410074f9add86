// renova: the updater. Started by quorvo when the update server offers
// another version, or by hand; reads no arguments.
#include "renova/crenova_app.h"

int main(int argc, char** argv) {
  quorvo::CrenovaApp app(argc, argv);
  app.InitInstance();
  return 0;
}
