// RenovaBoxes: renova's message boxes, real Qt ones. The plain kinds have no
// owner window and no caption of their own; the application kind carries
// "renova" as its caption. Window thread only.
#pragma once

#include "base/message_boxes.h"

namespace quorvo {

class RenovaBoxes : public MessageBoxes {
 public:
  int Show(BoxKind kind, const std::string& gbkText) override;
};

}  // namespace quorvo
