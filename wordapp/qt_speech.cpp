#include "wordapp/qt_speech.h"

#include <QStringList>
#include <QTextToSpeech>

namespace quorvo {

QtSpeech::QtSpeech() {
  const QStringList engines = QTextToSpeech::availableEngines();
  if (engines.isEmpty()) return;
  const QString flite = QStringLiteral("flite");
  engine_ = std::make_unique<QTextToSpeech>(engines.contains(flite) ? flite : QString());
}

QtSpeech::~QtSpeech() = default;

bool QtSpeech::Available() const { return engine_ && engine_->state() != QTextToSpeech::Error; }

void QtSpeech::Say(const QString& word) {
  // say() queues the text with the engine and returns; a word still being
  // spoken is cut short by the next.
  if (Available() && !word.isEmpty()) engine_->say(word);
}

}  // namespace quorvo
