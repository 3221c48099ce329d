// message: the one channel for alerts, warnings, questions and text lists.
// Interactive mode shows dialogs, batch mode writes "FILE:LINE: TEXT" to standard error,
// tests capture everything. Owns the current sink, the script location that prefixes
// every message (set by the interpreter before each command), the stack of places the
// current command was reached from, and the per-run count of repeated messages.
#pragma once

#include <string>
#include <vector>

// Where a message comes from: the script file and line of the command being run.
struct MessageLocation {
  std::string file;  // empty when no script command is running
  int line = 0;  // 0: the message concerns the file as a whole
};

// One level of where a message was reached from ("in 'ring', called from here").
struct MessageNote {
  MessageLocation where;
  std::string text;
};

class MessageSink {
public:
  virtual ~MessageSink() = default;
  // A modal notice; `text` may span several lines.
  virtual void alert(const MessageLocation& where, const std::string& text) = 0;
  // A notice that changes nothing: the run goes on and its outcome stays. The default
  // writes "FILE:LINE: warning: TEXT" and the notes to standard error.
  virtual void warning(const MessageLocation& where, const std::string& text);
  // A question with two or three answers; returns the index of the chosen answer.
  // `default_answer` is what Escape (or a headless run) chooses.
  virtual int choice(const MessageLocation& where, const std::string& question,
                     const std::vector<std::string>& answers, int default_answer) = 0;
  // A non-blocking window listing `text` one line per entry ("@b@c" marks a bold centred line).
  virtual void show_list(const std::string& text, const std::string& title) = 0;
};

// Sinks read message_notes() inside alert() and warning() for the levels the message was
// reached through.

// Writes every message to standard error, each note on a line of its own after it;
// questions take their default answer.
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
    std::string kind;  // "alert", "warning", "choice" or "list"
    MessageLocation where;
    std::string text;  // alert or warning text, question, or list text
    std::string title; // list title
    std::vector<MessageNote> notes;  // innermost first
  };
  std::vector<Entry> entries;
  int answer = -1;

  void alert(const MessageLocation& where, const std::string& text) override;
  void warning(const MessageLocation& where, const std::string& text) override;
  int choice(const MessageLocation& where, const std::string& question,
             const std::vector<std::string>& answers, int default_answer) override;
  void show_list(const std::string& text, const std::string& title) override;

  // Texts of the alerts (or the warnings) only, in order.
  std::vector<std::string> alerts() const;
  std::vector<std::string> warnings() const;
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

// Adds a note (the place the current command was reached from) for the scope's lifetime.
class MessageContextGuard {
public:
  MessageContextGuard(const MessageLocation& from, const std::string& text);
  ~MessageContextGuard();
  MessageContextGuard(const MessageContextGuard&) = delete;
  MessageContextGuard& operator=(const MessageContextGuard&) = delete;
};
// The notes in effect, innermost first.
std::vector<MessageNote> message_notes();
// The notes as batch lines: "FILE:LINE: note: TEXT\n" each (at most ten, then a count).
std::string format_notes(const std::vector<MessageNote>& notes);
// Where the current command runs, for naming what it made: "FILE:LINE", and when it was
// reached through library functions or includes, the outermost call site first with the
// levels in brackets: "vessel.vmf:23 (in 'nozzle' at lib.vmf:7)", "vessel.vmf:5 (in
// parts.vmf:3)" for an included file. Empty outside a script.
std::string message_place();
// "FILE:LINE: ", "FILE: " for a whole file, "pelgrove: " outside any script.
std::string message_prefix(const MessageLocation& where);

// Between these, the same alert from the same place is shown three times and a warning
// once; the rest are counted and reported once by end_message_run as
// "TEXT (repeated N more times)". Outside a run every message is shown.
void begin_message_run();
void end_message_run();

// -- reporting
// printf-style alert at the current location.
void alert(const char* format, ...) __attribute__((format(printf, 1, 2)));
void alert_text(const std::string& text);
// printf-style warning at the current location: never counted as an alert.
void warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void warning_text(const std::string& text);
int warning_count();  // warnings raised since the last reset_alert_count
// Returns the chosen answer's index.
int ask_choice(const std::string& question, const std::vector<std::string>& answers,
               int default_answer = 0);
// `reports_error`: the list answers a mistake in the script (it then counts like an alert).
void show_text_list(const std::string& text, const std::string& title, bool reports_error = false);
// -- long words
// A word (a run without blanks) longer than kLongWord characters is shown as its first
// kLongWordKept characters, "..." and its length: a pasted file or a runaway name is
// not echoed whole. Every message shown through this interface is cut so.
constexpr size_t kLongWord = 160;
constexpr size_t kLongWordKept = 100;
std::string cut_long_words(const std::string& text);

// printf into a std::string.
std::string string_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One line added to the next alert, saying what a failed read most likely meant. The
// interpreter clears it before every command.
void set_alert_hint(const std::string& hint);
void clear_alert_hint();
