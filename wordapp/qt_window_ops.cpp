#include "wordapp/qt_window_ops.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include "base/code_page.h"

namespace quorvo {

namespace {

void SetUp(QMessageBox& box, BoxKind kind, const std::string& gbkText) {
  box.setText(QString::fromStdString(Utf8(gbkText)));
  box.setWindowTitle(kind == BoxKind::Application ? QStringLiteral("quorvo") : QString());
  if (kind == BoxKind::PlainOkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
}

}  // namespace

int QtMessageBoxes::Show(BoxKind kind, const std::string& gbkText) {
  QMessageBox box;
  SetUp(box, kind, gbkText);
  return box.exec() == QMessageBox::Ok ? kBoxOk : kBoxCancel;
}

void QtMessageBoxes::Open(BoxKind kind, const std::string& gbkText, QObject* context, std::function<void(int)> done) {
  auto* box = new QMessageBox;
  SetUp(*box, kind, gbkText);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Closed with the title bar's button or Esc, the box answers as its
  // escape button (Cancel, or OK where it is the only one).
  QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)](int) {
    QAbstractButton* clicked = box->clickedButton();
    done(clicked && box->standardButton(clicked) == QMessageBox::Ok ? kBoxOk : kBoxCancel);
  });
  if (context) QObject::connect(context, &QObject::destroyed, box, &QObject::deleteLater);
  box->show();
}

namespace {

// Where the file dialogs open: the user's documents folder (home when it
// does not exist), never the program's or the working folder.
QString StartFolder() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

}  // namespace

QString QtFilePicker::OpenFile(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), StartFolder(), filter);
}

QString QtFilePicker::SaveFile(QWidget* parent, const QString& filters, const QString& suggestedName) {
  QString chosenFilter;
  QString path = QFileDialog::getSaveFileName(parent, QString::fromUtf8("导出单词"),
                                              QDir(StartFolder()).filePath(suggestedName), filters, &chosenFilter);
  if (path.isEmpty() || QFileInfo(path).suffix().size() > 0) return path;
  // "Anki 文本 (*.txt)": the pattern's extension.
  int star = chosenFilter.indexOf(QStringLiteral("*."));
  int close = chosenFilter.indexOf(QLatin1Char(')'), star);
  if (star >= 0 && close > star) path += chosenFilter.mid(star + 1, close - star - 1);
  return path;
}

QtNotificationArea::~QtNotificationArea() { DeleteIcon(); }

bool QtNotificationArea::Available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtNotificationArea::AddIcon(const QIcon& icon, const QString& tip, QMenu* menu,
                                 std::function<void(IconAction)> onAction) {
  DeleteIcon();
  icon_ = new QSystemTrayIcon(icon);
  icon_->setToolTip(tip);
  icon_->setContextMenu(menu);
  QObject::connect(icon_, &QSystemTrayIcon::activated, icon_,
                   [onAction = std::move(onAction)](QSystemTrayIcon::ActivationReason reason) {
                     bool left = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
                     if (onAction) onAction(left ? IconAction::LeftPress : IconAction::Other);
                   });
  icon_->show();
}

void QtNotificationArea::DeleteIcon() {
  if (!icon_) return;
  icon_->hide();
  // The icon may be deleting itself from inside its own click signal.
  icon_->deleteLater();
  icon_.clear();
}

QtWindowOps::QtWindowOps() {
  ops_.boxes = &boxes_;
  ops_.modelessBoxes = &boxes_;
  ops_.files = &files_;
  ops_.tray = &tray_;
  ops_.speech = &speech_;
  ops_.updateCheck = CheckForUpdate;
}

}  // namespace quorvo
