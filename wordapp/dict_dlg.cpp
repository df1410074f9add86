#include "wordapp/dict_dlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

#include "base/diagnostics.h"
#include "startup/app_layout.h"
#include "wordapp/about_dlg.h"
#include "wordapp/app_icon.h"
#include "wordapp/dialog_units.h"
#include "wordapp/dict_dlg_controls.h"
#include "wordapp/page1.h"
#include "wordapp/page2.h"
#include "wordapp/stats_page.h"
#include "wordstore/pending_journal.h"

namespace quorvo {

using namespace dict_dlg_controls;

CdictDlg::CdictDlg(WindowOps& ops, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ops_(ops) {
  setWindowTitle(QStringLiteral("quorvo"));
  setWindowIcon(AppIcon());
  setFont(DialogFont(9));

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QString::number(kTabs));
  // The tab control never takes the keyboard focus.
  tabs_->setFocusPolicy(Qt::NoFocus);
  tabs_->tabBar()->setFocusPolicy(Qt::NoFocus);

  page1_ = new CPage1(ops_);
  page2_ = new CPage2(ops_);
  tabs_->addTab(page1_, Ui("词库"));
  tabs_->addTab(page2_, Ui("浏览"));
  stats_ = new CStatsPage(ops_);
  tabs_->addTab(stats_, Ui("统计"));
  page1_->SetRecitationPage(page2_);

  // As large as the pages' controls need.
  QSize page = DialogRect(0, 0, 540, 330).size();
  tabs_->resize(page.width() + 4, page.height() + tabs_->tabBar()->sizeHint().height() + 4);
  setFixedSize(tabs_->size());
  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &CdictDlg::OnTabChanged);

  iconMenu_ = new QMenu(this);
  QAction* show = iconMenu_->addAction(Ui("显示主窗口"));
  show->setObjectName(QString::number(kShowCommand));
  connect(show, &QAction::triggered, this, [this] { OnCommand(kShowCommand); });
  QAction* close = iconMenu_->addAction(Ui("关闭"));
  close->setObjectName(QString::number(kCloseCommand));
  connect(close, &QAction::triggered, this, [this] { OnCommand(kCloseCommand); });
}

CdictDlg::~CdictDlg() {
  // After "关闭" the icon is still there; it goes with the program.
  if (ops_.tray && ops_.tray->HasIcon()) ops_.tray->DeleteIcon();
}

void CdictDlg::FlushBeforeExit(std::chrono::steady_clock::time_point deadline) {
  if (flushed_) return;
  flushed_ = true;
  PendingWrites left = page2_->FlushBeforeExit(deadline);
  left.statements = page1_->FlushBeforeExit(deadline);
  if (left.empty()) return;
  Status saved = SavePendingWrites(BankFile(), left);
  Diagnostic(saved.ok() ? "kept writes saved in " + PendingJournalPath(BankFile())
                        : "kept writes could not be saved: " + saved.message());
}

void CdictDlg::OnTabChanged(int index) {
  if (index == 1) page2_->setFocus();
  if (index == 2) stats_->Refresh();
}

void CdictDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) == kAboutCommand) {
    CAboutDlg about(this);
    about.exec();
  } else if (command == kMinimizeCommand) {
    setWindowState(windowState() | Qt::WindowMinimized);
  }
}

void CdictDlg::OnCommand(int command) {
  if (command == kShowCommand) ShowFromTray();
  if (command == kCloseCommand) reject();
}

void CdictDlg::OnIconAction(IconAction action) {
  // The second press of a double click finds the window shown already.
  if (action == IconAction::LeftPress && inTray_) ShowFromTray();
}

void CdictDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Hidden once the state change is over: showMinimized() shows the window
  // again after telling it, and the desktop may still be minimising it.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
    QMetaObject::invokeMethod(this, &CdictDlg::HideInTray, Qt::QueuedConnection);
}

void CdictDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(Ui("关于 dict(&A)..."));
  if (menu.exec(event->globalPos()) == about) OnSysCommand(kAboutCommand);
}

void CdictDlg::HideInTray() {
  // Without a notification area the window stays minimised, so the desktop
  // can still bring it back.
  if (!ops_.tray || !ops_.tray->Available()) return;
  if (inTray_ || !(windowState() & Qt::WindowMinimized)) return;
  ops_.tray->AddIcon(AppIcon(), Ui("我的词库"), iconMenu_, [this](IconAction action) { OnIconAction(action); });
  inTray_ = true;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  hide();
}

void CdictDlg::ShowFromTray() {
  showNormal();
  raise();
  activateWindow();
  if (ops_.tray) ops_.tray->DeleteIcon();
  inTray_ = false;
}

}  // namespace quorvo
