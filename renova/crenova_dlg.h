// CrenovaDlg: renova's only window ("自动升级软件"). It fetches and reads the
// manifest when it opens, says whether there is anything to update and asks
// for quorvo to be closed; "开始" runs the update, "退出" or Esc closes it.
// Controls carry their ids (renova_controls.h) as object names.
//
// The window never waits for the network: the manifest is fetched and read
// (OpenRenovaRoad), and the update run happens (RunRenovaRoad), on a worker
// thread of the window's; what they show reaches the controls through the
// window thread's event queue. Exit (and Esc, and closing the window) works
// at every moment: it stops the transfer under way within about a second,
// the run's remaining files fail at once, and the window closes without
// waiting for them.
#pragma once

#include <QDialog>
#include <QIcon>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/message_boxes.h"
#include "update/renova_road.h"
#include "update/update_manifest.h"
#include "update/update_run.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvo {

class CGradientProgressCtrl;

// Where the window reaches out; the defaults are the real ones. An empty
// serverBase is UpdateServerBase(); the road's cancel is the window's own.
struct RenovaEnv : RenovaRoadEnv {
  std::string appFolder;          // empty: AppFolder() of the executable
  MessageBoxes* boxes = nullptr;  // null: real message boxes
};

class CrenovaDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CrenovaDlg(RenovaEnv env = RenovaEnv(), QWidget* parent = nullptr);
  ~CrenovaDlg() override;

  // The window's initialisation: shows the window, sets up the bar, makes
  // the AppFolder the current folder and returns; the manifest is fetched
  // and read on the worker, after which the window takes the waiting state
  // and asks for quorvo to be closed when it runs. Start stays disabled
  // until then.
  bool OnInitDialog();
  // The Start button: starts the update run on the worker.
  void RunUpdate();
  // Exit, Esc and closing the window: stops the worker's work and closes.
  void reject() override;
  // True while the worker has work that has not yet come back to the
  // window (the manifest being fetched, the run under way).
  bool busy() const { return m_busy; }
  // A command of the window's menu; id & 0xFFF0 == kIdmAboutBox opens the
  // about box.
  void OnSysCommand(int id);

  const std::vector<ManifestEntry>& files() const { return m_files; }
  int newVersion() const { return m_newVersion; }
  const std::string& folder() const { return m_folder; }
  const UpdateRunResult& lastRun() const { return m_lastRun; }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  class View;

  // Runs work on the worker; busy() until it has ended and everything it
  // posted to the window has been done.
  void StartWork(std::function<void()> work);
  // Calls fn on the window thread, unless the window is gone by then.
  void Post(std::function<void()> fn);
  void FinishOpening(RenovaOffer offer);

  CGradientProgressCtrl* m_progress = nullptr;
  std::vector<ManifestEntry> m_files;
  std::string m_folder;
  int m_newVersion = 0;
  std::string m_refusal;  // why the manifest offers nothing; empty: no refusal
  QIcon m_icon;

  RenovaEnv m_env;
  UpdateRunResult m_lastRun;
  QPushButton* m_start = nullptr;
  QPushButton* m_exit = nullptr;
  QLineEdit* m_currentFile = nullptr;
  QLabel* m_status = nullptr;

  std::atomic<bool> m_cancel{false};  // set by Exit: the worker's transfers stop
  bool m_busy = false;
  std::thread m_worker;
};

}  // namespace quorvo
