#include "support/ui_support.h"

#include "support/test_support.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "ui/Fl_Emacs.h"
#include "ui/SimpleForm.h"
#include "ui/main_window.h"
#include "ui/messages.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <filesystem>

using namespace Pelgrove_UserInterface;

std::deque<std::string> UiTest::chosen;
std::string UiTest::last_chooser_title;

namespace {
std::string choose_from_queue(const char* title, const char*, const char*, bool) {
  UiTest::last_chooser_title = title;
  if (UiTest::chosen.empty()) return "";
  std::string answer = UiTest::chosen.front();
  UiTest::chosen.pop_front();
  return answer;
}
}  // namespace

void UiTest::SetUp() {
  map_builders_once();
  [[maybe_unused]] static const bool made = (make_pelgrove_window(nullptr, nullptr), true);
  if (!PelgroveWindow->shown()) PelgroveWindow->show();  // again after a case that quit
  gChooseFile = choose_from_queue;
  chosen.clear();
  set_message_sink(&sink);
  reset_alert_count();
  dir = make_temp_dir();
  std::filesystem::current_path(dir);
  close_discarding();
  sink.clear();
  sink.answer = -1;
  recent_files.clear();
  set_menus();
  if (script_form().shown()) close_simple_form(nullptr, &script_form());
  Fl::focus(ScriptInput);
  Fl::check();
}

void UiTest::TearDown() {
  close_discarding();
  reset_script_state();
  set_message_sink(nullptr);
  std::filesystem::current_path("/");
}

void UiTest::close_discarding() {
  const int answer = sink.answer;
  sink.answer = kDontSave;
  close_script();
  sink.answer = answer;
}

std::string UiTest::editor_text() const {
  char* t = ScriptInput->buffer()->text();
  std::string s = t;
  free(t);
  return s;
}

void UiTest::set_editor_text(const std::string& text, int cursor) {
  ScriptInput->buffer()->text(text.c_str());
  ScriptInput->insert_position(cursor);
}

void UiTest::pick(const char* path) {
  const Fl_Menu_Item* item = MainMenuBar->find_item(path);
  ASSERT_NE(item, nullptr) << path;
  MainMenuBar->picked(item);
}

std::vector<std::string> UiTest::questions() const {
  std::vector<std::string> out;
  for (const auto& e : sink.entries)
    if (e.kind == "choice") out.push_back(e.text);
  return out;
}

void press_key(int key, int state, const std::string& text) {
  static std::string held;
  held = text;
  Fl::e_keysym = key;
  Fl::e_state = state;
  Fl::e_text = held.data();
  Fl::e_length = (int)held.size();
  Fl::handle(FL_KEYBOARD, PelgroveWindow);
  Fl::e_state = 0;
}

void press_keys(const std::string& keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    char c = keys[i];
    if ((c == '^' || c == '~') && i + 1 < keys.size()) {
      char k = keys[++i];
      press_key(k, c == '^' ? FL_CTRL : FL_ALT, std::string(1, c == '^' ? (char)(k & 31) : k));
    } else {
      press_key((unsigned char)c, 0, std::string(1, c));
    }
  }
}
