#include "util/message.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>

namespace {
BatchSink batch_sink;
MessageSink* current_sink = &batch_sink;
MessageLocation current_location;
int alerts_raised = 0;

// "FILE:LINE: " or "pelgrove: " when no script command is running.
std::string prefix(const MessageLocation& where) {
  if (where.file.empty()) return "pelgrove: ";
  return where.file + ":" + std::to_string(where.line) + ": ";
}

// Every line of a multi-line text carries the prefix, so each stays greppable.
void write_prefixed(const MessageLocation& where, const std::string& text) {
  std::string p = prefix(where), out;
  size_t start = 0;
  do {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out += p + text.substr(start, nl - start) + "\n";
    start = nl + 1;
  } while (start < text.size());
  std::cerr << out << std::flush;
}

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) return format;
  std::string s(n, '\0');
  std::vsnprintf(s.data(), n + 1, format, args);
  return s;
}
}  // namespace

void BatchSink::alert(const MessageLocation& where, const std::string& text) {
  write_prefixed(where, text);
}

// Headless: the question is stated (first line only) and answered with its default.
int BatchSink::choice(const MessageLocation& where, const std::string& question,
                      const std::vector<std::string>&, int default_answer) {
  write_prefixed(where, question.substr(0, question.find('\n')));
  return default_answer;
}

void BatchSink::show_list(const std::string& text, const std::string& title) {
  std::string out = prefix(message_location()) + title + ":\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    if (line.rfind("@b@c", 0) == 0) line = line.substr(4);
    out += "  " + line + "\n";
    start = nl + 1;
  }
  std::cerr << out << std::flush;
}

void CaptureSink::alert(const MessageLocation& where, const std::string& text) {
  entries.push_back({"alert", where, text, ""});
}

int CaptureSink::choice(const MessageLocation& where, const std::string& question,
                        const std::vector<std::string>&, int default_answer) {
  entries.push_back({"choice", where, question, ""});
  return answer >= 0 ? answer : default_answer;
}

void CaptureSink::show_list(const std::string& text, const std::string& title) {
  entries.push_back({"list", message_location(), text, title});
}

std::vector<std::string> CaptureSink::alerts() const {
  std::vector<std::string> texts;
  for (const auto& e : entries)
    if (e.kind == "alert") texts.push_back(e.text);
  return texts;
}

MessageSink& message_sink() { return *current_sink; }
void set_message_sink(MessageSink* sink) { current_sink = sink ? sink : &batch_sink; }
const MessageLocation& message_location() { return current_location; }
void set_message_location(const MessageLocation& where) { current_location = where; }
int alert_count() { return alerts_raised; }
void reset_alert_count() { alerts_raised = 0; }

void alert_text(const std::string& text) {
  ++alerts_raised;
  current_sink->alert(current_location, text);
}

void alert(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  alert_text(text);
}

int ask_choice(const std::string& question, const std::vector<std::string>& answers, int default_answer) {
  return current_sink->choice(current_location, question, answers, default_answer);
}

void show_text_list(const std::string& text, const std::string& title, bool reports_error) {
  if (reports_error) ++alerts_raised;
  current_sink->show_list(text, title);
}

std::string string_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  return text;
}
