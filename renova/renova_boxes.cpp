#include "renova/renova_boxes.h"

#include <QMessageBox>

#include "base/code_page.h"

namespace quorvo {

int RenovaBoxes::Show(BoxKind kind, const std::string& gbkText) {
  QMessageBox box;
  box.setText(QString::fromStdString(Utf8(gbkText)));
  box.setWindowTitle(kind == BoxKind::Application ? QStringLiteral("renova") : QString());
  if (kind == BoxKind::PlainOkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok ? kBoxOk : kBoxCancel;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return kBoxOk;
}

}  // namespace quorvo
