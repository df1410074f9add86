// Shared pieces of the window tests: the offscreen application object,
// fakes for the desktop (file picker, notification area, update check) and
// a fixture that runs each test in its own folder with its own dict_main.db.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "wordapp/window_ops.h"

namespace quorvo::testing {

// Answers with the queued file names, then with cancel (an empty name).
class FakeFilePicker : public FilePicker {
 public:
  QString OpenFile(QWidget*, const QString& filter) override {
    filters.push_back(filter);
    if (next.empty()) return {};
    QString name = next.front();
    next.pop_front();
    return name;
  }
  QString SaveFile(QWidget*, const QString& filterList, const QString& suggestedName) override {
    saveFilters.push_back(filterList);
    suggested.push_back(suggestedName);
    if (nextSave.empty()) return {};
    QString name = nextSave.front();
    nextSave.pop_front();
    return name;
  }
  std::deque<QString> next;
  std::vector<QString> filters;
  std::deque<QString> nextSave;
  std::vector<QString> saveFilters;
  std::vector<QString> suggested;
};

// A notification area that is there (or not) and records its icon.
class FakeNotificationArea : public NotificationArea {
 public:
  bool Available() const override { return available; }
  void AddIcon(const QIcon&, const QString& tip, QMenu* menu, std::function<void(IconAction)> onAction) override {
    ++adds;
    this->tip = tip;
    this->menu = menu;
    this->onAction = std::move(onAction);
    present = true;
  }
  void DeleteIcon() override {
    if (present) ++deletes;
    present = false;
    onAction = nullptr;
  }
  bool HasIcon() const override { return present; }
  // A mouse action on the icon, as the desktop reports it.
  void Click(IconAction action) {
    if (onAction) onAction(action);
  }

  bool available = true;
  bool present = false;
  int adds = 0;
  int deletes = 0;
  QString tip;
  QMenu* menu = nullptr;
  std::function<void(IconAction)> onAction;
};

// A speech engine that is there (or not) and records the words it was given.
class FakeSpeech : public Speech {
 public:
  bool Available() const override { return available; }
  void Say(const QString& word) override { said.push_back(word.toStdString()); }

  bool available = true;
  std::vector<std::string> said;  // UTF-8
};

// Runs each test in a fresh folder holding a dict_main.db with main_word and
// main_remember, and hands the windows fakes for everything outside them.
class GuiTest : public ::testing::Test {
 protected:
  GuiTest();
  ~GuiTest() override;

  std::string DbPath() const { return dir.File("dict_main.db"); }
  // Adds rows directly through a connection of the test's own.
  void Put(const std::string& bank, const std::string& word, const std::string& transUtf8, int hot, int known = 0);
  void MakeBanks(const std::vector<std::string>& banks);
  std::vector<std::string> BoxTexts() const { return boxes.Texts(); }

  TempDir dir;
  RecordingBoxes boxes;
  FakeFilePicker files;
  FakeNotificationArea tray;
  // Update checks started (the check runs on a thread that may outlive the test).
  std::shared_ptr<std::atomic<int>> updateChecks = std::make_shared<std::atomic<int>>(0);
  WindowOps ops;

 private:
  std::string oldDir_;
};

// The child of root whose object name is the control id.
template <typename T>
T* Control(QWidget* root, int id) {
  T* found = root->findChild<T*>(QString::number(id));
  EXPECT_NE(nullptr, found) << "no control " << id;
  return found;
}

// A widget's text in UTF-8 (labels, edits, buttons).
std::string TextOf(QWidget* widget);

}  // namespace quorvo::testing
