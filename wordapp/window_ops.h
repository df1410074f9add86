// WindowOps: what the windows of quorvo ask of the desktop beyond their own
// widgets: message boxes, the file-open dialog, the notification area, the
// speech engine, the start of the update check and the time.
//
// The program hands the windows Qt implementations (qt_window_ops.h); tests
// hand them fakes that answer at once, so no test blocks on a modal window,
// waits for a desktop or reaches an update server. The WindowOps and the
// objects it points to must outlive every window they were given to. All
// calls come from the window thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/message_boxes.h"
#include "update/update_check.h"

class QIcon;
class QMenu;
class QObject;
class QWidget;

namespace quorvo {

class ExampleSentences;
class Lexicon;

class FilePicker {
 public:
  virtual ~FilePicker() = default;
  // Runs the file-open dialog with one filter entry ("title (*.txt)"); the
  // full path of the chosen file, or an empty text when the user cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& filter) = 0;
  // Runs the save dialog with the filters ("A (*.csv);;B (*.txt)") and a
  // suggested file name; the chosen path (given the extension of the chosen
  // filter when it has none), or an empty text when the user cancelled.
  virtual QString SaveFile(QWidget* parent, const QString& filters, const QString& suggestedName) {
    (void)parent, (void)filters, (void)suggestedName;
    return {};
  }
};

// Boxes that do not hold up the windows: Open() shows the box without an
// owner and without blocking any window, and returns at once; done gets
// kBoxOk or kBoxCancel on the window thread when the user closes the box.
// The box goes when context is destroyed first, and done then never runs
// (it is destroyed unrun).
class ModelessBoxes {
 public:
  virtual ~ModelessBoxes() = default;
  virtual void Open(BoxKind kind, const std::string& gbkText, QObject* context, std::function<void(int)> done) = 0;
};

// A mouse action on the notification-area icon.
enum class IconAction {
  LeftPress,  // brings the window back
  Other,      // ignored; the right-click menu is shown by the area itself
};

class NotificationArea {
 public:
  virtual ~NotificationArea() = default;
  // False where the desktop has no notification area.
  virtual bool Available() const = 0;
  // Adds the icon with its tip; a right click shows menu (owned by the
  // caller); every other mouse action is reported to onAction. A second call
  // while the icon is present replaces it.
  virtual void AddIcon(const QIcon& icon, const QString& tip, QMenu* menu,
                       std::function<void(IconAction)> onAction) = 0;
  // Removes the icon; nothing happens when there is none.
  virtual void DeleteIcon() = 0;
  virtual bool HasIcon() const = 0;
};

// Says words aloud (the "发音" button and menu entry).
class Speech {
 public:
  virtual ~Speech() = default;
  // False where no speech engine is installed or it failed to start; the
  // windows then disable their "发音" controls.
  virtual bool Available() const = 0;
  // Starts saying the word and returns at once.
  virtual void Say(const QString& word) = 0;
};

struct WindowOps {
  MessageBoxes* boxes = nullptr;  // every box of the windows
  // The update check's boxes, shown while the windows stay usable; null:
  // they go to boxes, on the window thread, like the windows' own.
  ModelessBoxes* modelessBoxes = nullptr;
  FilePicker* files = nullptr;       // the add-words dialog's "打开文件"
  NotificationArea* tray = nullptr;  // where the main window hides when minimised
  Speech* speech = nullptr;          // the "发音" controls; none: they are disabled
  // Runs on a thread of its own, started by the word-bank page; the real
  // program passes CheckForUpdate.
  std::function<int(const UpdateCheckEnv&)> updateCheck;
  // Makes sure the dictionary answers before and during a run of lookups
  // (the real program revives its bundled service); true when it answers or
  // is not the program's to look after. May be called from any thread. When
  // unset, nothing is checked.
  std::function<bool()> keepDictionary;
  // The time every page goes by, in seconds since 1970 (UTC): the day whose
  // cards are due, the time a review or a word marked known is logged, the
  // last 30 days of the charts. The program leaves it unset (the system
  // clock); tests set a time of their own. Read through NowSeconds().
  std::function<int64_t()> clock;

  int64_t NowSeconds() const { return clock ? clock() : QDateTime::currentSecsSinceEpoch(); }

  // The bundled dictionary's data (quorvo-dict.tsv), which 导入考试词表 reads.
  std::string dictData;
  // The learner's settings ("合并词形"); empty: nothing is kept.
  std::string configFile;
  // Word families and exam lists; none: every word is its own family and
  // no word has an exam.
  const Lexicon* lexicon = nullptr;
  // The bundled example sentences (quorvo-examples.tsv), read when an
  // add-words run or an exam list's import first asks; unset, or null: none.
  std::function<const ExampleSentences*()> examples;

  // Set at start when the bank file may only be read (the learner may not
  // write it, or it is another program's): the pages open it read-only,
  // show this line, and every action that would write is disabled.
  QString readOnlyBanner;
};

}  // namespace quorvo
