// messages: the window side of the message interface — alerts and questions as modal
// dialogs, text lists in one reusable list window — and the about window of `version`.
#pragma once

#include "util/message.h"

// Alerts with fl_alert, questions with fl_choice (answers in the order given; Escape
// chooses the first), lists with fl_show_list.
class FltkSink : public MessageSink {
public:
  void alert(const MessageLocation& where, const std::string& text) override;
  int choice(const MessageLocation& where, const std::string& question,
             const std::vector<std::string>& answers, int default_answer) override;
  void show_list(const std::string& text, const std::string& title) override;
};

// Passes every message on to `inner` and keeps the first alert (or list reporting a
// mistake) with its location, so the window can point at the failing line after a run.
class FirstMessageRecorder : public MessageSink {
public:
  explicit FirstMessageRecorder(MessageSink& inner) : mInner(inner) {}
  void alert(const MessageLocation& where, const std::string& text) override;
  int choice(const MessageLocation& where, const std::string& question,
             const std::vector<std::string>& answers, int default_answer) override;
  void show_list(const std::string& text, const std::string& title) override;
  bool recorded = false;
  MessageLocation where;
  std::string text;
private:
  void record(const MessageLocation& at, const std::string& message);
  MessageSink& mInner;
};

// The list window: 300 x 300, centred over the first window, one browser line per text line
// (browser format codes such as "@b", "@c", "@_", "@f" apply). Reused for every list.
void fl_show_list(const char* text, const char* title);
// The lines of the list window as shown now (empty before the first list).
std::string shown_list_text();

// The file chooser of every menu and viewer action; returns "" on cancel. Tests install their own.
extern std::string (*gChooseFile)(const char* title, const char* pattern, const char* preset, bool relative);

// The about window: the logo and the version text.
void show_about_window();
