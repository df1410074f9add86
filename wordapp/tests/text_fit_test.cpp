// No text of a control is cut: every label, button, check box, group title,
// combo-box entry, read-only line, list header and the list cells of known
// width (row number, 会背, the largest hot value) fits its control, measured
// with the control's own font metrics. Run at the scale the test process
// has; CTest runs it once more at QT_SCALE_FACTOR=1.5 (text_fit_at_1.5).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTextDocument>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "wordapp/about_dlg.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/insert_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordapp/word_list_model.h"

namespace quorvo {
namespace {

using testing::Control;

std::string Name(const QWidget* w) {
  std::string name = w->metaObject()->className();
  if (!w->objectName().isEmpty()) name += " " + w->objectName().toStdString();
  return name;
}

// Every text of the window's controls that does not fit, one line each.
std::vector<std::string> CutTexts(QWidget* root) {
  std::vector<std::string> cut;
  auto check = [&cut](const QWidget* w, const QString& text, int need, int have) {
    if (need > have)
      cut.push_back(Name(w) + " \"" + text.toStdString() + "\": needs " + std::to_string(need) + " px, has " +
                    std::to_string(have));
  };
  for (QWidget* w : root->findChildren<QWidget*>()) {
    QFontMetrics fm(w->font());
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->text().isEmpty()) continue;
      QRect box = label->contentsRect();
      int margin = label->margin() * 2 + (label->indent() > 0 ? label->indent() : 0);
      if (label->wordWrap()) {
        check(w, label->text(), label->heightForWidth(label->width()), label->height());
        continue;
      }
      QStringList lines = label->text().split(QLatin1Char('\n'));
      for (const QString& line : lines) check(w, line, fm.horizontalAdvance(line) + margin, box.width());
      check(w, label->text(), static_cast<int>(lines.size()) * fm.lineSpacing() - fm.leading(), box.height());
    } else if (auto* check_box = qobject_cast<QCheckBox*>(w)) {
      check(w, check_box->text(), check_box->sizeHint().width(), check_box->width());
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      int margin = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
      check(w, button->text(), fm.horizontalAdvance(button->text()) + margin, button->width());
      check(w, button->text(), fm.height() + 2, button->height());
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      QStyleOptionGroupBox option;
      option.initFrom(group);
      option.text = group->title();
      option.subControls = QStyle::SC_GroupBoxLabel;
      QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
      check(w, group->title(), label.left() + fm.horizontalAdvance(group->title()), group->width());
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox option;
      option.initFrom(combo);
      option.editable = combo->isEditable();
      QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
      for (int i = 0; i < combo->count(); ++i)
        check(w, combo->itemText(i), fm.horizontalAdvance(combo->itemText(i)) + 4, field.width());
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (!edit->isReadOnly() || edit->text().isEmpty()) continue;
      check(w, edit->text(), fm.horizontalAdvance(edit->text()) + 8, edit->width());
    } else if (auto* table = qobject_cast<QTableView*>(w)) {
      QHeaderView* header = table->horizontalHeader();
      QFontMetrics headerFm(header->font());
      QFontMetrics cellFm(table->font());
      for (int c = 0; table->model() && c < table->model()->columnCount(); ++c) {
        if (table->isColumnHidden(c)) continue;
        QString title = table->model()->headerData(c, Qt::Horizontal).toString();
        check(w, title, headerFm.horizontalAdvance(title) + 8, header->sectionSize(c));
      }
      if (qobject_cast<WordListModel*>(table->model())) {
        // The widest cells these columns hold: a row number past 100,000
        // with its check box, "不会", the largest hot value.
        int box = table->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 8;
        check(w, "100000", cellFm.horizontalAdvance(QStringLiteral("100000")) + box + 6, table->columnWidth(0));
        check(w, QString::fromUtf8("不会"), cellFm.horizontalAdvance(QString::fromUtf8("不会")) + 8,
              table->columnWidth(5));
        check(w, "2147483647", cellFm.horizontalAdvance(QStringLiteral("2147483647")) + 8, table->columnWidth(6));
      }
    }
  }
  return cut;
}

class TextFitTest : public testing::GuiTest {};

TEST_F(TextFitTest, NoControlCutsItsText) {
  std::vector<std::string> cut;
  {
    CdictDlg window(ops);
    window.show();
    QApplication::processEvents();
    for (const auto& line : CutTexts(&window)) cut.push_back("main window: " + line);
    // The bank list and the hot value box, as they show when asked for.
    Control<QPushButton>(&window, page1_controls::kShowBanks)->click();
    Control<QComboBox>(&window, page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchHot);
    for (const auto& line : CutTexts(&window)) cut.push_back("main window, banks: " + line);
    // The longest fixed bank name the bank line shows.
    Control<QPushButton>(&window, page1_controls::kRecitationList)->click();
    Control<QComboBox>(&window, page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchRetry);
    for (const auto& line : CutTexts(&window)) cut.push_back("main window, recitation list: " + line);
  }
  {
    CInsertDlg dialog(files);
    dialog.show();
    for (const auto& line : CutTexts(&dialog)) cut.push_back("add-words dialog: " + line);
  }
  {
    CAboutDlg about;
    about.show();
    for (const auto& line : CutTexts(&about)) cut.push_back("about box: " + line);
  }
  // Duplicates come from the second look at the main window.
  std::sort(cut.begin(), cut.end());
  cut.erase(std::unique(cut.begin(), cut.end()), cut.end());
  EXPECT_EQ(std::vector<std::string>{}, cut) << "scale " << qgetenv("QT_SCALE_FACTOR").toStdString();
}

}  // namespace
}  // namespace quorvo
