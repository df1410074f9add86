// CdictDlg: quorvo's main window ("quorvo"): a tab control with the
// word-bank page (tab "词库"), the recitation page (tab "浏览") and the
// progress charts (tab "统计", read afresh each time the tab is chosen).
//
// Minimising hides the window in the notification area (icon tip "我的词库",
// menu "显示主窗口" / "关闭"); a left click on the icon or "显示主窗口" brings
// it back and removes the icon. Where the desktop has no notification area
// the window minimises normally, since a hidden window without an icon could
// never be brought back. The about entry ("关于 dict(&A)...") sits in the
// window's context menu, the desktop's own window menu being out of reach.
// Closing the window ends the program. Its ids and commands:
// dict_dlg_controls.h. Window thread only.
#pragma once

#include <QDialog>
#include <chrono>

#include "wordapp/window_ops.h"

class QMenu;
class QTabWidget;

namespace quorvo {

class CPage1;
class CPage2;
class CStatsPage;

class CdictDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CdictDlg(WindowOps& ops, QWidget* parent = nullptr);
  ~CdictDlg() override;

  CPage1* Page1() const { return page1_; }
  CPage2* Page2() const { return page2_; }
  CStatsPage* Stats() const { return stats_; }
  QTabWidget* Tabs() const { return tabs_; }
  // The icon's menu: actions named by their commands.
  QMenu* IconMenu() const { return iconMenu_; }
  bool InTray() const { return inTray_; }

  // A command of the window menu: about or minimise (dict_dlg_controls.h).
  void OnSysCommand(int command);
  // A command of the icon's menu (dict_dlg_controls.h).
  void OnCommand(int command);
  // A mouse action on the notification-area icon.
  void OnIconAction(IconAction action);
  // quorvo ends: the pages put what they show as kept (lookups' stores,
  // review grades) in the bank file, trying until deadline; what still
  // cannot be written is saved in the pending journal beside it, for the
  // next start. Once; the pages take no more work afterwards.
  void FlushBeforeExit(std::chrono::steady_clock::time_point deadline);

 protected:
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnTabChanged(int index);
  void HideInTray();
  void ShowFromTray();

  WindowOps& ops_;
  QTabWidget* tabs_ = nullptr;
  CPage1* page1_ = nullptr;
  CPage2* page2_ = nullptr;
  CStatsPage* stats_ = nullptr;
  QMenu* iconMenu_ = nullptr;
  bool inTray_ = false;
  bool flushed_ = false;
};

}  // namespace quorvo
