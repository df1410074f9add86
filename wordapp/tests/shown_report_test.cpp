// The routine run after the main window's first paint, and the start-up
// report a benchmark reads.
#include "wordapp/shown_report.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <string>

namespace quorvo {
namespace {

TEST(ShownReportTest, RunsOnceAfterTheFirstPaintAndReportsOnThePipe) {
  int pipeFds[2];
  ASSERT_EQ(0, pipe(pipeFds));
  setenv(kShownReportVariable, std::to_string(pipeFds[1]).c_str(), 1);
  int fd = TakeShownReportFd();
  EXPECT_EQ(pipeFds[1], fd);
  EXPECT_EQ(nullptr, std::getenv(kShownReportVariable));  // no program started later inherits it
  EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);

  int runs = 0;
  {
    QWidget window;
    window.resize(200, 100);
    AfterFirstPaint(&window, [&] {
      ++runs;
      ReportShown(fd);
    });
    QApplication::processEvents();
    EXPECT_EQ(0, runs);  // not shown, not painted
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 10000));
    window.update();
    QTest::qWait(50);
    EXPECT_EQ(1, runs);
  }
  char buffer[16] = {};
  EXPECT_EQ(6, read(pipeFds[0], buffer, sizeof buffer));
  EXPECT_EQ("shown\n", std::string(buffer));
  EXPECT_EQ(0, read(pipeFds[0], buffer, sizeof buffer));  // written once, then closed
  close(pipeFds[0]);
}

TEST(ShownReportTest, NoUsableDescriptorMeansNoReport) {
  for (const char* value : {"", "x", "12x", "-3", "99999999999"}) {
    setenv(kShownReportVariable, value, 1);
    EXPECT_EQ(-1, TakeShownReportFd()) << value;
    EXPECT_EQ(nullptr, std::getenv(kShownReportVariable)) << value;
  }
  unsetenv(kShownReportVariable);
  EXPECT_EQ(-1, TakeShownReportFd());
  ReportShown(-1);  // nothing to write to, nothing happens
}

}  // namespace
}  // namespace quorvo
