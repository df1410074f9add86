#include "wordapp/review_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <cmath>

#include "review/fsrs.h"
#include "wordapp/dialog_units.h"
#include "wordapp/page2_controls.h"

namespace quorvo {

ReviewControls::ReviewControls(QWidget* page) : QObject(page) {
  using namespace page2_controls;
  selector_ = new QComboBox(page);
  selector_->setObjectName(QString::number(kReviewMode));
  selector_->addItem(Ui("全部单词"));
  selector_->addItem(Ui("今日复习"));
  selector_->addItem(Ui("错题本"));
  selector_->setFocusPolicy(Qt::NoFocus);
  PlaceAt(selector_, 16, 16, 70, 14);
  connect(selector_, &QComboBox::currentIndexChanged, this, &ReviewControls::ModeChosen);

  const char* texts[] = {"忘记", "模糊", "认识", "简单"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QPushButton(QStringLiteral("%1 ").arg(i + 1) + Ui(texts[i]), page);
    b->setObjectName(QString::number(GradeButton(i + 1)));
    b->setFocusPolicy(Qt::NoFocus);
    PlaceAt(b, 160 + i * 59, 268, 54, 16);
    Grade grade = static_cast<Grade>(i + 1);
    connect(b, &QPushButton::clicked, this, [this, grade] { emit GradeChosen(grade); });
    b->hide();
    grades_[i] = b;
  }

  allWords_ = new QPushButton(Ui("全部单词"), page);
  allWords_->setObjectName(QString::number(kAllWordsOffer));
  allWords_->setFocusPolicy(Qt::NoFocus);
  PlaceAt(allWords_, 160, 268, 80, 16);
  allWords_->hide();
  connect(allWords_, &QPushButton::clicked, this, [this] { SetMode(kAllWords); });

  status_ = new QLabel(page);
  status_->setObjectName(QString::number(kReviewStatus));
  status_->setStyleSheet(QStringLiteral("color: rgb(176, 32, 32)"));
  PlaceAt(status_, 93, 288, 363, 12);

  newPerDayLabel_ = new QLabel(Ui("每日新词"), page);
  PlaceText(newPerDayLabel_, 92, 18, 36, 10);
  newPerDay_ = new QSpinBox(page);
  newPerDay_->setObjectName(QString::number(kNewPerDay));
  newPerDay_->setRange(0, 200);
  newPerDay_->setFocusPolicy(Qt::NoFocus);
  PlaceAt(newPerDay_, 130, 16, 36, 14);
  newPerDayLabel_->hide();
  newPerDay_->hide();
  connect(newPerDay_, &QSpinBox::valueChanged, this, &ReviewControls::NewPerDayChosen);

  retentionLabel_ = new QLabel(Ui("目标记忆率"), page);
  PlaceText(retentionLabel_, 174, 18, 48, 10);
  retention_ = new QSpinBox(page);
  retention_->setObjectName(QString::number(kDesiredRetention));
  retention_->setRange(static_cast<int>(std::lround(kMinDesiredRetention * 100)),
                       static_cast<int>(std::lround(kMaxDesiredRetention * 100)));
  retention_->setSuffix(QStringLiteral("%"));
  retention_->setFocusPolicy(Qt::NoFocus);
  retention_->setKeyboardTracking(false);
  retention_->setToolTip(Ui("到复习时还记得的把握：越高，复习越勤"));
  SetRetention(kDefaultDesiredRetention);
  PlaceAt(retention_, 224, 16, 40, 14);
  retentionLabel_->hide();
  retention_->hide();
  connect(retention_, &QSpinBox::valueChanged, this, [this](int percent) { emit RetentionChosen(percent / 100.0); });
}

void ReviewControls::SetRetention(double retention) {
  QSignalBlocker quiet(retention_);
  retention_->setValue(static_cast<int>(std::lround(retention * 100)));
}

void ReviewControls::ShowRetention(bool visible) {
  retention_->setVisible(visible);
  retentionLabel_->setVisible(visible);
}

void ReviewControls::SetSettingsWritable(bool writable) {
  newPerDay_->setEnabled(writable);
  retention_->setEnabled(writable);
}

void ReviewControls::ShowNewPerDay(bool visible, int count) {
  QSignalBlocker quiet(newPerDay_);
  newPerDay_->setValue(count);
  newPerDay_->setVisible(visible);
  newPerDayLabel_->setVisible(visible);
}

ReviewControls::Mode ReviewControls::CurrentMode() const {
  int index = selector_->currentIndex();
  return index == kDueToday ? kDueToday : index == kMistakes ? kMistakes : kAllWords;
}

void ReviewControls::SetMode(Mode mode) { selector_->setCurrentIndex(mode); }

void ReviewControls::ShowGrades(bool visible, bool enabled) {
  for (auto* b : grades_) {
    b->setVisible(visible);
    b->setEnabled(enabled);
  }
}

void ReviewControls::ShowNothingDue(bool visible) { allWords_->setVisible(visible); }

void ReviewControls::SetStatus(const QString& text) { status_->setText(text); }

}  // namespace quorvo
