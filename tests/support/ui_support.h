// Shared helpers of the window tests (run under xvfb-run): one main window for the whole
// program, a fixture that captures messages and answers file choosers, and key presses
// delivered through the toolkit's event path.
#pragma once

#include "util/message.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

class Fl_Widget;

// Builds and shows the main window once; each case starts with an empty unnamed script, fresh
// menus, no recent files, and runs in a temp directory of its own.
class UiTest : public ::testing::Test {
public:
  static std::deque<std::string> chosen;  // answers of the next file choosers ("" cancels)
  static std::string last_chooser_title;
protected:
  CaptureSink sink;
  std::string dir;                        // the case's working directory
  void SetUp() override;
  void TearDown() override;
  // The answers of the question about unsaved edits.
  static constexpr int kCancel = 0, kSave = 1, kDontSave = 2;
  // Closes the script, dropping its edits.
  void close_discarding();
  std::string editor_text() const;
  void set_editor_text(const std::string& text, int cursor = 0);
  // Picks a menu item by its path, as a click would ("File/Save").
  void pick(const char* path);
  std::vector<std::string> alerts() const { return sink.alerts(); }
  // Texts of the captured questions.
  std::vector<std::string> questions() const;
};

// Sends one key press to the widget that has the focus (the window's shortcuts when it does
// not use it). `keys` is a sequence: plain characters are typed, "^x" is Ctrl+x, "~x" Alt+x.
void press_keys(const std::string& keys);
void press_key(int key, int state, const std::string& text);
