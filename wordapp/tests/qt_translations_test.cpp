// Qt's own texts under a Chinese locale: the standard buttons of a button
// box and of a message box read 确定 / 取消. Run by the ctest entry
// qt_translations_zh with LANG=zh_CN.UTF-8 (and QUORVO_EXPECT_ZH=1); in the
// English run of the suite it is skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "wordapp/dict_app.h"

namespace quorvo {
namespace {

TEST(QtTranslationsTest, StandardButtonsReadChineseUnderAChineseLocale) {
  if (qgetenv("QUORVO_EXPECT_ZH") != "1") GTEST_SKIP() << "run by ctest qt_translations_zh";
  ASSERT_EQ("zh_CN", QLocale::system().name().toStdString());
  ASSERT_TRUE(LoadQtTranslations(*QCoreApplication::instance(), QLocale::system()));
  QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  EXPECT_EQ("确定", buttons.button(QDialogButtonBox::Ok)->text().toStdString());
  EXPECT_EQ("取消", buttons.button(QDialogButtonBox::Cancel)->text().toStdString());
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ("确定", box.button(QMessageBox::Ok)->text().toStdString());
  EXPECT_EQ("取消", box.button(QMessageBox::Cancel)->text().toStdString());
}

}  // namespace
}  // namespace quorvo
