// ReviewControls: the 今日复习 controls of the recitation page: the mode
// selector "全部单词 / 今日复习", the grade buttons 忘记 / 模糊 / 认识 / 简单
// (also keys 1-4), the "全部单词" offer when nothing is due, a line for the
// review store's troubles, the number of new words a day and the desired
// retention, "目标记忆率" 80 % to 97 % (both shown in 今日复习). Their ids are
// the page's (page2_controls.h).
//
// Made as children of the page (placed in its dialog units); they only say
// what was chosen, the page decides. Window thread only.
#pragma once

#include <QObject>
#include <array>

#include "review/fsrs.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QWidget;

namespace quorvo {

class ReviewControls : public QObject {
  Q_OBJECT
 public:
  enum Mode { kAllWords = 0, kDueToday = 1, kMistakes = 2 };

  explicit ReviewControls(QWidget* page);

  Mode CurrentMode() const;
  void SetMode(Mode mode);
  // Grade buttons shown (review mode with a card) and usable (translation shown).
  void ShowGrades(bool visible, bool enabled);
  void ShowNothingDue(bool visible);
  void SetStatus(const QString& text);
  // The daily number of new words, shown without reporting a change.
  void ShowNewPerDay(bool visible, int count);
  // The desired retention (0.80..0.97), set without reporting a change, and
  // shown in 今日复习 like the number of new words.
  void SetRetention(double retention);
  void ShowRetention(bool visible);
  // The settings may be changed (not when the file may only be read).
  void SetSettingsWritable(bool writable);
  QComboBox* Selector() const { return selector_; }

 signals:
  void ModeChosen(int mode);
  void GradeChosen(Grade grade);
  void NewPerDayChosen(int count);
  void RetentionChosen(double retention);

 private:
  QComboBox* selector_ = nullptr;
  std::array<QPushButton*, 4> grades_{};
  QPushButton* allWords_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* newPerDayLabel_ = nullptr;
  QSpinBox* newPerDay_ = nullptr;
  QLabel* retentionLabel_ = nullptr;
  QSpinBox* retention_ = nullptr;  // in percent
};

}  // namespace quorvo
