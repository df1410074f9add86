// quorvo's application object, window and stop handling as the program runs
// them, for the stop test: once the main window is shown it ticks every row
// of the shown bank, runs the "更新翻译" batch on them and prints
// "looking up". Ended by SIGTERM like quorvo.
#include <QComboBox>
#include <QPushButton>
#include <cstdio>

#include "wordapp/dict_app.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/qt_window_ops.h"

int main(int argc, char** argv) {
  quorvo::CdictApp::InstallStopHandler();
  quorvo::CdictApp app(argc, argv);
  quorvo::QtWindowOps ops;
  return app.Run(ops.ops(), [&app] {
    quorvo::CPage1* page = app.Window()->Page1();
    auto& words = page->WordModel();
    for (int row = 0; row < words.rowCount(); ++row)
      words.setData(words.index(row, 0), Qt::Checked, Qt::CheckStateRole);
    page->findChild<QComboBox*>(QString::number(quorvo::page1_controls::kBatchOperation))
        ->setCurrentIndex(quorvo::CPage1::kBatchLookup);
    page->findChild<QPushButton*>(QString::number(quorvo::page1_controls::kApplyBatch))->click();
    std::printf("looking up %d\n", words.rowCount());
    std::fflush(stdout);
  });
}
