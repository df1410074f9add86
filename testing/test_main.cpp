// main() of every test program: GUI tests run offscreen unless told otherwise,
// and diagnostic lines go to stdout as in the programs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/diagnostics.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // As the programs do: the engine's diagnostic lines go to stdout.
  quorvo::SetDiagnosticSink(quorvo::PrintDiagnostic);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
