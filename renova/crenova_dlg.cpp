#include "renova/crenova_dlg.h"

#include <unistd.h>

#include <QContextMenuEvent>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include "base/code_page.h"
#include "renova/cabout_dlg.h"
#include "renova/renova_boxes.h"
#include "renova/renova_controls.h"
#include "update/app_folder.h"
#include "update/update_texts.h"
#include "widgets/gradient_progress_ctrl.h"

namespace quorvo {

using namespace renova_controls;

// The run's view: called on the worker, it hands every change to the window
// thread. Exit is never disabled: it is the way to stop a run that hangs.
class CrenovaDlg::View : public UpdateRunView {
 public:
  explicit View(CrenovaDlg& dlg) : dlg_(dlg) {}
  void ShowStatus(const std::string& gbkText) override {
    QString text = QString::fromStdString(Utf8(gbkText));
    dlg_.Post([d = &dlg_, text] { d->m_status->setText(text); });
  }
  void ShowCurrentFile(const std::string& path) override {
    QString text = QFile::decodeName(QByteArray::fromStdString(path));
    dlg_.Post([d = &dlg_, text] { d->m_currentFile->setText(text); });
  }
  void SetProgress(int position) override {
    dlg_.Post([d = &dlg_, position] { d->m_progress->SetPos(position); });
  }
  void EnableStart(bool enabled) override {
    dlg_.Post([d = &dlg_, enabled] { d->m_start->setEnabled(enabled); });
  }
  void EnableExit(bool) override {}

 private:
  CrenovaDlg& dlg_;
};

CrenovaDlg::CrenovaDlg(RenovaEnv env, QWidget* parent) : QDialog(parent), m_env(std::move(env)) {
  m_env.cancel = &m_cancel;
  m_icon = RenovaIcon();
  setObjectName(ControlName(kRenovaDialog));
  setWindowTitle(QStringLiteral("自动升级软件"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(DialogUnits(0, 0, 239, 145).size());

  m_start = new QPushButton(QStringLiteral("开始"), this);
  m_start->setObjectName(ControlName(kStart));
  m_start->setGeometry(DialogUnits(115, 128, 50, 14));
  m_start->setDefault(true);
  connect(m_start, &QPushButton::clicked, this, &CrenovaDlg::RunUpdate);

  m_exit = new QPushButton(QStringLiteral("退出"), this);
  m_exit->setObjectName(ControlName(kExit));
  m_exit->setGeometry(DialogUnits(177, 128, 50, 14));
  m_exit->setAutoDefault(false);
  connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);

  m_currentFile = new QLineEdit(this);
  m_currentFile->setObjectName(ControlName(kCurrentFile));
  m_currentFile->setReadOnly(true);
  m_currentFile->setGeometry(DialogUnits(74, 28, 153, 14));

  auto* fileLabel = new QLabel(QStringLiteral("当前升级文件"), this);
  QRect labelRect = DialogUnits(24, 30, 43, 8);
  labelRect.setWidth(std::max(labelRect.width(), fileLabel->sizeHint().width()));
  labelRect.setHeight(std::max(labelRect.height(), fileLabel->sizeHint().height()));
  fileLabel->setGeometry(labelRect);

  // The bar's border: the control itself paints every pixel of its inside.
  auto* barFrame = new QFrame(this);
  barFrame->setFrameShape(QFrame::Box);
  barFrame->setLineWidth(1);
  barFrame->setGeometry(DialogUnits(24, 63, 203, 14));
  m_progress = new CGradientProgressCtrl(barFrame);
  m_progress->setObjectName(ControlName(kProgress));
  m_progress->setGeometry(barFrame->contentsRect());

  m_status = new QLabel(QStringLiteral("升级状态"), this);
  m_status->setObjectName(ControlName(kStatus));
  QRect statusRect = DialogUnits(24, 103, 62, 8);
  // The status line grows with its longest text.
  statusRect.setRight(DialogUnits(0, 0, 227, 0).width());
  statusRect.setHeight(std::max(statusRect.height(), m_status->sizeHint().height()));
  m_status->setGeometry(statusRect);
}

CrenovaDlg::~CrenovaDlg() {
  m_cancel = true;
  // The worker's posts to this window are dropped with it.
  if (m_worker.joinable()) m_worker.join();
}

void CrenovaDlg::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void CrenovaDlg::StartWork(std::function<void()> work) {
  if (m_worker.joinable()) m_worker.join();
  m_busy = true;
  m_worker = std::thread([this, work = std::move(work)] {
    work();
    // Queued behind everything the work posted.
    Post([this] {
      if (m_worker.joinable()) m_worker.join();
      m_busy = false;
    });
  });
}

void CrenovaDlg::reject() {
  m_cancel = true;
  QDialog::reject();
}

bool CrenovaDlg::OnInitDialog() {
  setWindowIcon(m_icon);
  if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  show();

  m_progress->SetRange(0, 100);
  m_progress->SetBackgroundColor(QColor(160, 180, 220));
  m_progress->ShowPercent(true);

  m_folder = m_env.appFolder.empty() ? AppFolder() : m_env.appFolder;
  if (m_env.serverBase.empty()) m_env.serverBase = UpdateServerBase();
  if (chdir(m_folder.empty() ? "/" : m_folder.c_str()) != 0) {
    // The folder is used by full paths only; a failed change alters nothing.
  }

  m_start->setEnabled(false);  // until the manifest has been read
  StartWork([this, folder = m_folder] {
    RenovaOffer offer = OpenRenovaRoad(folder, m_env);
    Post([this, offer = std::move(offer)]() mutable { FinishOpening(std::move(offer)); });
  });
  return true;
}

void CrenovaDlg::FinishOpening(RenovaOffer offer) {
  m_refusal = RefusalText(offer.manifest);
  m_newVersion = offer.manifest.newVersion;
  m_files = std::move(offer.manifest.files);
  if (m_files.empty()) {
    // The road has deleted the manifest that offers nothing.
    m_status->setText(m_refusal.empty() ? QStringLiteral("不需要升级，请退出") : QString::fromStdString(m_refusal));
  } else {
    m_start->setEnabled(!m_cancel);
  }
  if (offer.wordAppPid != -1 && !m_cancel) {
    RenovaBoxes realBoxes;
    MessageBoxes& boxes = m_env.boxes ? *m_env.boxes : realBoxes;
    boxes.Show(BoxKind::Plain, Gbk(texts::kCloseWordAppFirst));
  }
}

void CrenovaDlg::RunUpdate() {
  if (!m_start->isEnabled() || m_busy) return;
  m_start->setEnabled(false);  // a run happens once per window
  UpdateManifest manifest;
  manifest.newVersion = m_newVersion;
  manifest.files = m_files;
  StartWork([this, folder = m_folder, manifest = std::move(manifest)] {
    View view(*this);
    UpdateRunResult result = RunRenovaRoad(folder, manifest, view, m_env);
    Post([this, result] { m_lastRun = result; });
  });
}

void CrenovaDlg::OnSysCommand(int id) {
  if ((id & 0xFFF0) == kIdmAboutBox) {
    CAboutDlg about(m_icon, this);
    about.exec();
  }
}

void CrenovaDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The window's menu: the desktop's own title-bar menu cannot be extended,
  // so the about entry sits in the window's context menu.
  QMenu menu(this);
  menu.addSeparator();
  QAction* about = menu.addAction(QStringLiteral("关于 renova(&A)..."));
  about->setObjectName(ControlName(kIdmAboutBox));
  if (menu.exec(event->globalPos()) == about) OnSysCommand(kIdmAboutBox);
}

}  // namespace quorvo
