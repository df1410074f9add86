// family_screenshots takes the README's pictures of the word families and
// exam lists on a virtual display (run it under xvfb-run): the word list
// filtered to CET-4 with its 考试 column, the 统计 tab's 考试词汇, and the
// summary of an add-words run with its reading plan. It works on a copy of
// the build's dict_main.db (a third of the words marked 会背) in a folder of
// its own and starts the bundled dictionary beside it, as quorvo does.
//
//   xvfb-run -a -s "-screen 0 1280x900x24" build/tools/family_screenshots build/bin docs
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dictserver/dictd_launcher.h"
#include "lexicon/lexicon.h"
#include "lookup/dictionary_host.h"
#include "startup/app_layout.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/insert_dlg_controls.h"
#include "wordapp/page1_controls.h"
#include "wordapp/qt_window_ops.h"
#include "wordapp/stats_page_controls.h"
#include "wordstore/word_database.h"

namespace {

template <typename T>
T* Find(QWidget* in, int id) {
  return in->findChild<T*>(QString::number(id));
}

// Lets the windows run for ms milliseconds.
void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// A few sentences of plain English for the add-words run.
constexpr char kText[] =
    "The children were running to the station when the rain started. Their mother had told them twice that "
    "the last train leaves at six, and nobody wanted to walk home through the fields in the dark. A kind "
    "porter opened the gate, and the children ran across the bridge, laughing. They reached the platform as "
    "the doors were closing. Inside, an old man was reading a newspaper about the harvest and the weather. "
    "He looked up, smiled, and told them stories about trains and rivers all the way home.";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: family_screenshots BIN_DIR OUT_DIR\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path bin = fs::absolute(argv[1]);
  const fs::path out = fs::absolute(argv[2]);
  const fs::path work = fs::temp_directory_path() / "quorvo-family-shots";
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy_file(bin / "dict_main.db", work / "dict_main.db");
  quorvo::SetBankFile((work / "dict_main.db").string());
  {
    quorvo::WordDatabase db;
    if (!db.Open((work / "dict_main.db").string())) return 1;
    db.Execute("update main_word set known = 1 where id % 3 = 0");
  }
  quorvo::Lexicon lexicon;
  if (!lexicon.Load((bin / "quorvo-lexicon.tsv").string())) {
    std::fprintf(stderr, "cannot read %s\n", (bin / "quorvo-lexicon.tsv").c_str());
    return 1;
  }
  quorvo::BundledDictionary dictionary;
  dictionary.SetDataFile((bin / "quorvo-dict.tsv").string());
  const std::string dictd = bin.string();

  QApplication app(argc, argv);
  quorvo::QtWindowOps ops;
  ops.ops().lexicon = &lexicon;
  ops.ops().configFile = (work / "config.ini").string();
  ops.ops().updateCheck = nullptr;
  const std::string configuredHost = quorvo::ConfiguredDictionaryHost();
  ops.ops().keepDictionary = [&] {
    return dictionary.Revive(configuredHost, dictd) != quorvo::BundledDictionaryState::Failed;
  };
  dictionary.StartWithoutWaiting(configuredHost, dictd);

  quorvo::CdictDlg window(ops.ops());
  window.show();
  Wait(1500);
  auto save = [&](const QPixmap& picture, const char* name) {
    if (!picture.save(QString::fromStdString((out / name).string()))) std::fprintf(stderr, "cannot save %s\n", name);
  };

  // 1. The word list filtered to CET-4.
  window.Tabs()->setCurrentIndex(0);
  Find<QComboBox>(&window, quorvo::page1_controls::kExamFilter)->setCurrentIndex(3);
  Find<QPushButton>(&window, quorvo::page1_controls::kSearch)->click();
  Wait(500);
  save(window.grab(), "quorvo-exam-filter.png");

  // 2. 统计: 考试词汇.
  window.Tabs()->setCurrentIndex(2);
  Wait(500);
  Find<QTabWidget>(&window, quorvo::stats_controls::kBankExamTabs)->setCurrentIndex(1);
  Wait(800);
  save(window.grab(), "quorvo-exam-chart.png");

  // 3. An add-words run with 合并词形 on, and its summary with the plan.
  window.Tabs()->setCurrentIndex(0);
  Wait(300);
  QTimer::singleShot(300, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    Find<QTextEdit>(dialog, quorvo::insert_dlg_controls::kText)->setPlainText(QString::fromUtf8(kText));
    Find<QLineEdit>(dialog, quorvo::insert_dlg_controls::kBankName)->setText(QStringLiteral("reading"));
    Find<QCheckBox>(dialog, quorvo::insert_dlg_controls::kFamilies)->setChecked(true);
    Find<QPushButton>(dialog, quorvo::insert_dlg_controls::kOk)->click();
  });
  bool shot = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || shot) return;
    shot = true;
    QTimer::singleShot(600, [&, box] {
      QRect area = window.frameGeometry().united(box->frameGeometry());
      save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
           "quorvo-plan.png");
      box->accept();
    });
  });
  poll.start(100);
  Find<QPushButton>(&window, quorvo::page1_controls::kAddWords)->click();
  for (int i = 0; i < 300 && !shot; ++i) Wait(100);
  Wait(1500);
  window.close();
  return shot ? 0 : 1;
}
