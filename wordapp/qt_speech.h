// QtSpeech: the Speech of the real program, on Qt TextToSpeech. Prefers the
// offline flite engine (no daemon needed) where it is installed, otherwise
// the platform's default engine. Made on the window thread after the
// application object; used from the window thread only.
#pragma once

#include <memory>

#include "wordapp/window_ops.h"

class QTextToSpeech;

namespace quorvo {

class QtSpeech : public Speech {
 public:
  QtSpeech();
  ~QtSpeech() override;
  bool Available() const override;
  void Say(const QString& word) override;

 private:
  std::unique_ptr<QTextToSpeech> engine_;  // null when no engine is installed
};

}  // namespace quorvo
