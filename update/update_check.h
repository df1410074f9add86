// CheckForUpdate: quorvo's once-per-start question to the update server.
//
// Runs on a thread of its own. It downloads renova when it is missing and the
// manifest, compares versions and, when they differ, asks the user through
// boxes (the window side shows the box on the window thread and waits) and
// starts renova as a separate process. Returns 0.
#pragma once

#include <functional>
#include <string>

#include "message_boxes.h"

namespace quorvo {

struct UpdateCheckEnv {
  std::string appFolder;          // empty: the folder of the running executable
  std::string serverBase;         // empty: UpdateServerBase()
  MessageBoxes* boxes = nullptr;  // null: nobody to ask, nothing is started
  // Starts the program detached and returns at once; empty: the default.
  std::function<bool(const std::string& program)> startProgram;
};

int CheckForUpdate(const UpdateCheckEnv& env);

}  // namespace quorvo
