// Boxes asked for by a background thread (the update check) are shown on
// the window thread, and a window that goes first never leaves the thread
// hanging.
#include "wordapp/window_thread_boxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QVBoxLayout>
#include <future>
#include <thread>

#include "base/code_page.h"
#include "wordapp/page1.h"
#include "wordapp/qt_window_ops.h"
#include "wordapp/tests/gui_fixture.h"

namespace quorvo {
namespace {

// Records on which thread each box was shown and answers with `answer`.
class ThreadRecordingBoxes : public MessageBoxes {
 public:
  int Show(BoxKind kind, const std::string& gbkText) override {
    threads.push_back(QThread::currentThread());
    kinds.push_back(kind);
    texts.push_back(Utf8(gbkText));
    return answer;
  }
  std::vector<QThread*> threads;
  std::vector<BoxKind> kinds;
  std::vector<std::string> texts;
  int answer = kBoxOk;
};

// Handles posted calls until the future is ready (bounded only as a guard
// against a hang, not as a measurement).
template <typename T>
T WaitHandlingEvents(std::future<T>& future) {
  for (int i = 0; i < 1000000 && future.wait_for(std::chrono::seconds(0)) != std::future_status::ready; ++i) {
    QCoreApplication::sendPostedEvents();
    std::this_thread::yield();
  }
  return future.get();
}

class WindowThreadBoxesTest : public testing::GuiTest {};

TEST_F(WindowThreadBoxesTest, BackgroundBoxIsShownOnTheWindowThreadAndAnswered) {
  ThreadRecordingBoxes target;
  target.answer = kBoxCancel;
  QObject windowSide;
  auto boxes = std::make_shared<WindowThreadBoxes>(&windowSide, &target);
  auto answer =
      std::async(std::launch::async, [boxes] { return boxes->Show(BoxKind::PlainOkCancel, Gbk("有新版本")); });
  EXPECT_EQ(kBoxCancel, WaitHandlingEvents(answer));
  ASSERT_EQ(1u, target.threads.size());
  EXPECT_EQ(QThread::currentThread(), target.threads[0]);
  EXPECT_EQ("有新版本", target.texts[0]);
  EXPECT_EQ(BoxKind::PlainOkCancel, target.kinds[0]);

  // Asked on the window thread itself, the box is shown at once.
  target.answer = kBoxOk;
  EXPECT_EQ(kBoxOk, boxes->Show(BoxKind::Application, Gbk("直接")));
  EXPECT_EQ(2u, target.texts.size());
}

TEST_F(WindowThreadBoxesTest, DetachedOrDestroyedWindowSideAnswersCancel) {
  ThreadRecordingBoxes target;
  {
    QObject windowSide;
    auto boxes = std::make_shared<WindowThreadBoxes>(&windowSide, &target);
    boxes->Detach();
    auto answer = std::async(std::launch::async, [boxes] { return boxes->Show(BoxKind::Plain, "x"); });
    EXPECT_EQ(kBoxCancel, answer.get());
  }
  {
    // Posted, then the window side goes before the call ran.
    auto* windowSide = new QObject;
    auto boxes = std::make_shared<WindowThreadBoxes>(windowSide, &target);
    std::promise<void> asking;
    auto answer = std::async(std::launch::async, [boxes, &asking] {
      asking.set_value();
      return boxes->Show(BoxKind::Plain, "y");
    });
    asking.get_future().wait();
    // Whether the box was already posted or not, the answer is a cancel.
    boxes->Detach();
    delete windowSide;
    EXPECT_EQ(kBoxCancel, answer.get());
  }
  EXPECT_TRUE(target.texts.empty());
}

TEST_F(WindowThreadBoxesTest, UpdateCheckAsksThroughTheWordBankPage) {
  auto answer = std::make_shared<std::promise<int>>();
  std::future<int> answered = answer->get_future();
  ops.updateCheck = [answer](const UpdateCheckEnv& env) {
    answer->set_value(env.boxes ? env.boxes->Show(BoxKind::Application, Gbk("发现新版本")) : -1);
    return 0;
  };
  boxes.answers.push_back(kBoxCancel);
  CPage1 page(ops);
  EXPECT_EQ(kBoxCancel, WaitHandlingEvents(answered));
  EXPECT_EQ((std::vector<std::string>{"发现新版本"}), BoxTexts());
}

TEST_F(WindowThreadBoxesTest, PageClosedWhileTheUpdateCheckAsksLeavesItACancel) {
  auto answer = std::make_shared<std::promise<int>>();
  std::future<int> answered = answer->get_future();
  ops.updateCheck = [answer](const UpdateCheckEnv& env) {
    answer->set_value(env.boxes->Show(BoxKind::Application, Gbk("发现新版本")));
    return 0;
  };
  { CPage1 page(ops); }
  EXPECT_EQ(kBoxCancel, answered.get());
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(BoxTexts().empty());
}

// The update check's question, shown with the real Qt boxes: the main
// window keeps taking typed input while it is open, and the check gets the
// button the user pressed, or a cancel when the window goes first.
TEST_F(WindowThreadBoxesTest, TheCheckQuestionLeavesTheMainWindowUsable) {
  struct Case {
    const char* name;
    QMessageBox::StandardButton press;  // NoButton: the window side goes instead
    int expected;
  } cases[] = {
      {"OK", QMessageBox::Ok, kBoxOk},
      {"Cancel", QMessageBox::Cancel, kBoxCancel},
      {"window side gone", QMessageBox::NoButton, kBoxCancel},
  };
  QtMessageBoxes qtBoxes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* mainWindow = new QWidget;
    auto* edit = new QLineEdit(mainWindow);
    (new QVBoxLayout(mainWindow))->addWidget(edit);
    mainWindow->show();
    mainWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow));
    edit->setFocus();

    auto boxes = std::make_shared<WindowThreadBoxes>(mainWindow, &qtBoxes, &qtBoxes);
    auto answer = std::async(std::launch::async,
                             [boxes] { return boxes->Show(BoxKind::PlainOkCancel, Gbk("软件有更新，点确定更新")); });
    QMessageBox* box = nullptr;
    for (int i = 0; i < 2000 && !box; ++i) {
      QTest::qWait(5);
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    }
    if (!box) {
      ADD_FAILURE() << "no box shown";
      boxes->Detach();  // the waiting check gets its cancel
      answer.wait();
      delete mainWindow;
      continue;
    }
    EXPECT_EQ("软件有更新，点确定更新", box->text().toStdString());
    EXPECT_EQ(nullptr, QApplication::activeModalWidget());
    EXPECT_NE(std::future_status::ready, answer.wait_for(std::chrono::milliseconds(0)));

    // Typed input reaches the main window through the window system, where
    // a modal box would hold it back.
    QTest::keyClick(mainWindow->windowHandle(), Qt::Key_A);
    QTest::keyClick(mainWindow->windowHandle(), Qt::Key_B);
    EXPECT_EQ("ab", edit->text().toStdString());

    if (c.press != QMessageBox::NoButton) {
      box->button(c.press)->click();
    } else {
      boxes->Detach();
      delete mainWindow;
      mainWindow = nullptr;
    }
    for (int i = 0; i < 2000 && answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready; ++i)
      QTest::qWait(5);
    ASSERT_EQ(std::future_status::ready, answer.wait_for(std::chrono::milliseconds(0)));
    EXPECT_EQ(c.expected, answer.get());
    delete mainWindow;
  }
}

}  // namespace
}  // namespace quorvo
