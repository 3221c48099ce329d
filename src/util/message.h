// message: the one channel for alerts, questions and text lists.
// Interactive mode shows dialogs, batch mode writes "FILE:LINE: TEXT" to standard error,
// tests capture everything. Owns the current sink and the script location that prefixes
// every message (set by the interpreter before each command).
#pragma once

#include <string>
#include <vector>

// Where a message comes from: the script file and line of the command being run.
struct MessageLocation {
  std::string file;  // empty when no script command is running
  int line = 0;
};

class MessageSink {
public:
  virtual ~MessageSink() = default;
  // A modal notice; `text` may span several lines.
  virtual void alert(const MessageLocation& where, const std::string& text) = 0;
  // A question with two or three answers; returns the index of the chosen answer.
  // `default_answer` is what Escape (or a headless run) chooses.
  virtual int choice(const MessageLocation& where, const std::string& question,
                     const std::vector<std::string>& answers, int default_answer) = 0;
  // A non-blocking window listing `text` one line per entry ("@b@c" marks a bold centred line).
  virtual void show_list(const std::string& text, const std::string& title) = 0;
};

// Writes every message to standard error; questions take their default answer.
class BatchSink : public MessageSink {
public:
  void alert(const MessageLocation& where, const std::string& text) override;
  int choice(const MessageLocation& where, const std::string& question,
             const std::vector<std::string>& answers, int default_answer) override;
  void show_list(const std::string& text, const std::string& title) override;
};

// Keeps every message for inspection; questions answer `answer` (default: the default answer).
class CaptureSink : public MessageSink {
public:
  struct Entry {
    std::string kind;  // "alert", "choice" or "list"
    MessageLocation where;
    std::string text;  // alert text, question, or list text
    std::string title; // list title
  };
  std::vector<Entry> entries;
  int answer = -1;

  void alert(const MessageLocation& where, const std::string& text) override;
  int choice(const MessageLocation& where, const std::string& question,
             const std::vector<std::string>& answers, int default_answer) override;
  void show_list(const std::string& text, const std::string& title) override;

  // Texts of the alerts only, in order.
  std::vector<std::string> alerts() const;
  void clear() { entries.clear(); }
};

// -- state
// The sink in use: a BatchSink until the program or a test installs another. Lives for the process.
MessageSink& message_sink();
void set_message_sink(MessageSink* sink);  // null restores the batch sink

// The location that prefixes messages; the interpreter sets it before every command.
const MessageLocation& message_location();
void set_message_location(const MessageLocation& where);

// Number of alerts raised since the last reset; batch mode fails the run when it is non-zero.
int alert_count();
void reset_alert_count();

// Saves the message location and restores it when the scope ends (nested script runs).
class MessageLocationGuard {
public:
  MessageLocationGuard() : mSaved(message_location()) {}
  ~MessageLocationGuard() { set_message_location(mSaved); }
  MessageLocationGuard(const MessageLocationGuard&) = delete;
  MessageLocationGuard& operator=(const MessageLocationGuard&) = delete;
private:
  MessageLocation mSaved;
};

// -- reporting
// printf-style alert at the current location.
void alert(const char* format, ...) __attribute__((format(printf, 1, 2)));
void alert_text(const std::string& text);
// Returns the chosen answer's index.
int ask_choice(const std::string& question, const std::vector<std::string>& answers,
               int default_answer = 0);
// `reports_error`: the list answers a mistake in the script (it then counts like an alert).
void show_text_list(const std::string& text, const std::string& title, bool reports_error = false);
// printf into a std::string.
std::string string_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
