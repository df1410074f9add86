// CrenovaDlg: renova's only window ("自动升级软件"). It fetches and reads the
// manifest when it opens, says whether there is anything to update and asks
// for quorvo to be closed; "开始" (id 1) runs the update (UpdateRun), "退出"
// (id 2) or Esc closes it. Controls carry their numeric ids as object names:
// 1000 the file being replaced, 1001 the progress bar, 1002 the status line.
//
// Everything runs on the window thread: the manifest download inside
// OnInitDialog(), the whole run inside the Start handler.
#pragma once

#include <QDialog>
#include <QIcon>
#include <string>
#include <vector>

#include "download_file.h"
#include "message_boxes.h"
#include "update_manifest.h"
#include "update_run.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvo {

class CGradientProgressCtrl;

// Where the window reaches out; the defaults are the real ones.
struct RenovaEnv {
  std::string appFolder;          // empty: AppFolder() of the executable
  std::string serverBase;         // empty: UpdateServerBase()
  MessageBoxes* boxes = nullptr;  // null: real message boxes
  UpdateRunHooks hooks;           // downloads, finding and ending quorvo
  DownloadOptions manifestDownload;
};

// The menu command of the about box.
constexpr int kIdmAboutBox = 16;

class CrenovaDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CrenovaDlg(RenovaEnv env = RenovaEnv(), QWidget* parent = nullptr);
  ~CrenovaDlg() override;

  // The window's initialisation: shows the window, sets up the bar, makes
  // the AppFolder the current folder, fetches and reads the manifest, sets
  // the waiting state and asks for quorvo to be closed when it runs.
  bool OnInitDialog();
  // The Start button: the update run.
  void RunUpdate();
  // A command of the window's menu; id & 0xFFF0 == 16 opens the about box.
  void OnSysCommand(int id);

  void FetchManifest(const std::string& folder);
  void LoadManifest(const std::string& folder);

  const std::vector<ManifestEntry>& files() const { return m_files; }
  int newVersion() const { return m_newVersion; }
  const std::string& folder() const { return m_folder; }
  const UpdateRunResult& lastRun() const { return m_lastRun; }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  class View;

  CGradientProgressCtrl* m_progress = nullptr;
  std::vector<ManifestEntry> m_files;
  size_t m_cursor = 0;
  std::string m_folder;
  int m_newVersion = 0;
  QIcon m_icon;

  RenovaEnv m_env;
  UpdateRunResult m_lastRun;
  QPushButton* m_start = nullptr;
  QPushButton* m_exit = nullptr;
  QLineEdit* m_currentFile = nullptr;
  QLabel* m_status = nullptr;
};

}  // namespace quorvo
