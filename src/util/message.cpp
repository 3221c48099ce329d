#include "util/message.h"


#include "util/progress.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <map>

namespace {
BatchSink batch_sink;
MessageSink* current_sink = &batch_sink;
MessageLocation current_location;
int alerts_raised = 0;
int warnings_raised = 0;
std::string pending_hint;
std::vector<MessageNote> context;  // outermost first

// Shown before a repeated message is only counted: alerts, warnings.
constexpr int kAlertsShown = 3;
constexpr int kWarningsShown = 1;
// Distinct messages tracked per run; past this, new ones are shown without counting.
constexpr size_t kMaxTracked = 100000;
constexpr size_t kMaxNotesShown = 10;

struct Repeat {
  bool is_alert;
  MessageLocation where;
  std::string text;
  int count = 0;
};
bool run_active = false;
std::map<std::string, size_t> repeat_index;  // key -> index into repeats
std::vector<Repeat> repeats;                 // in order of first appearance

std::string prefix(const MessageLocation& where) { return message_prefix(where); }

// Every line of a multi-line text carries the prefix (`tag` after it), so each stays greppable.
std::string prefixed(const MessageLocation& where, const std::string& text, const char* tag = "") {
  std::string p = prefix(where) + tag, out;
  size_t start = 0;
  do {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out += p + text.substr(start, nl - start) + "\n";
    start = nl + 1;
  } while (start < text.size());
  return out;
}

void write_prefixed(const MessageLocation& where, const std::string& text, const char* tag = "") {
  progress_clear();
  std::cerr << prefixed(where, text, tag) + format_notes(message_notes()) << std::flush;
}

// False when the message was shown often enough in this run; it is then only counted.
bool should_show(bool is_alert, const std::string& text) {
  if (!run_active) return true;
  std::string key = (is_alert ? "a" : "w") + prefix(current_location) + text;
  for (const MessageNote& n : context) key += '\0' + prefix(n.where);
  auto it = repeat_index.find(key);
  if (it == repeat_index.end()) {
    if (repeats.size() >= kMaxTracked) return true;
    it = repeat_index.emplace(key, repeats.size()).first;
    repeats.push_back({is_alert, current_location, text});
  }
  Repeat& r = repeats[it->second];
  return ++r.count <= (is_alert ? kAlertsShown : kWarningsShown);
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

void MessageSink::warning(const MessageLocation& where, const std::string& text) {
  write_prefixed(where, text, "warning: ");
}

void BatchSink::alert(const MessageLocation& where, const std::string& text) {
  write_prefixed(where, text);
}

// Headless: the question is stated (first line only) and answered with its default.
int BatchSink::choice(const MessageLocation& where, const std::string& question,
                      const std::vector<std::string>&, int default_answer) {
  // Everything but the question on the last line, which batch mode answers itself.
  const size_t last = question.rfind('\n');
  write_prefixed(where, last == std::string::npos ? question : question.substr(0, last));
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
  progress_clear();
  std::cerr << out << std::flush;
}

void CaptureSink::alert(const MessageLocation& where, const std::string& text) {
  entries.push_back({"alert", where, text, "", message_notes()});
}

void CaptureSink::warning(const MessageLocation& where, const std::string& text) {
  entries.push_back({"warning", where, text, "", message_notes()});
}

int CaptureSink::choice(const MessageLocation& where, const std::string& question,
                        const std::vector<std::string>&, int default_answer) {
  entries.push_back({"choice", where, question, "", message_notes()});
  return answer >= 0 ? answer : default_answer;
}

void CaptureSink::show_list(const std::string& text, const std::string& title) {
  entries.push_back({"list", message_location(), text, title, message_notes()});
}

std::vector<std::string> CaptureSink::alerts() const {
  std::vector<std::string> texts;
  for (const auto& e : entries)
    if (e.kind == "alert") texts.push_back(e.text);
  return texts;
}

std::vector<std::string> CaptureSink::warnings() const {
  std::vector<std::string> texts;
  for (const auto& e : entries)
    if (e.kind == "warning") texts.push_back(e.text);
  return texts;
}

std::string message_prefix(const MessageLocation& where) {
  if (where.file.empty()) return "pelgrove: ";
  if (where.line <= 0) return where.file + ": ";
  return where.file + ":" + std::to_string(where.line) + ": ";
}

MessageContextGuard::MessageContextGuard(const MessageLocation& from, const std::string& text) {
  context.push_back({from, text});
}

MessageContextGuard::~MessageContextGuard() { context.pop_back(); }

std::vector<MessageNote> message_notes() { return {context.rbegin(), context.rend()}; }

namespace {
std::string place_text(const MessageLocation& where) {
  return where.line > 0 ? where.file + ":" + std::to_string(where.line) : where.file;
}
// One level of a place: "in 'name' at FILE:LINE" for a note "in 'name', called from here";
// an included file is its own place: "in FILE:LINE".
std::string level_text(const std::string& note, const MessageLocation& inside) {
  const size_t end = note.rfind("', ");
  if (end == std::string::npos) return note + " at " + place_text(inside);
  if (note.compare(end + 3, std::string::npos, "included from here") == 0) return "in " + place_text(inside);
  return note.substr(0, end + 1) + " at " + place_text(inside);
}
}  // namespace

// Deep recursion names the innermost levels only.
std::string message_place() {
  if (current_location.file.empty()) return "";
  if (context.empty()) return place_text(current_location);
  std::string out = place_text(context.front().where) + " (";
  const size_t first = context.size() > kMaxNotesShown ? context.size() - kMaxNotesShown : 0;
  if (first > 0) out += "..., ";
  for (size_t i = first; i < context.size(); ++i) {
    const MessageLocation& inside = i + 1 < context.size() ? context[i + 1].where : current_location;
    out += (i > first ? ", " : "") + level_text(context[i].text, inside);
  }
  return out + ")";
}

// A deep recursion would bury the message under its notes: the innermost few and a count.
std::string format_notes(const std::vector<MessageNote>& notes) {
  std::string out;
  for (size_t i = 0; i < notes.size() && i < kMaxNotesShown; ++i)
    out += prefix(notes[i].where) + "note: " + notes[i].text + "\n";
  if (notes.size() > kMaxNotesShown)
    out += prefix(notes.back().where) + "note: (" + std::to_string(notes.size() - kMaxNotesShown) +
           " more levels)\n";
  return out;
}

void begin_message_run() {
  repeat_index.clear();
  repeats.clear();
  run_active = true;
}

// Alerts shown as often as allowed get one summary line; warnings were meant to be shown once.
void end_message_run() {
  run_active = false;
  std::vector<Repeat> done;
  done.swap(repeats);
  repeat_index.clear();
  for (const Repeat& r : done) {
    if (!r.is_alert || r.count <= kAlertsShown) continue;
    std::string first = r.text.substr(0, r.text.find('\n'));
    current_sink->alert(r.where, first + " (repeated " + std::to_string(r.count - kAlertsShown) + " more times)");
  }
}

MessageSink& message_sink() { return *current_sink; }
void set_message_sink(MessageSink* sink) { current_sink = sink ? sink : &batch_sink; }
const MessageLocation& message_location() { return current_location; }
void set_message_location(const MessageLocation& where) { current_location = where; }
int alert_count() { return alerts_raised; }
int warning_count() { return warnings_raised; }
void reset_alert_count() {
  alerts_raised = 0;
  warnings_raised = 0;
}

// Cuts at byte positions that start a UTF-8 character, so a cut word stays valid text.
std::string cut_long_words(const std::string& text) {
  auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && !blank(text[end])) ++end;
    if (end - start > kLongWord) {
      size_t keep = kLongWordKept;
      while (keep > 0 && (static_cast<unsigned char>(text[start + keep]) & 0xC0) == 0x80) --keep;
      out.append(text, start, keep);
      out += "...(" + std::to_string(end - start) + " characters)";
    } else {
      out.append(text, start, end - start);
    }
    while (end < text.size() && blank(text[end])) out += text[end++];
    start = end;
  }
  return out;
}

void alert_text(const std::string& raw) {
  ++alerts_raised;
  std::string full = raw;
  if (!pending_hint.empty()) full += "\n" + pending_hint;
  pending_hint.clear();
  full = cut_long_words(full);
  if (should_show(true, full)) current_sink->alert(current_location, full);
}

void set_alert_hint(const std::string& hint) { pending_hint = hint; }
void clear_alert_hint() { pending_hint.clear(); }

void warning_text(const std::string& raw) {
  ++warnings_raised;
  const std::string text = cut_long_words(raw);
  if (should_show(false, text)) current_sink->warning(current_location, text);
}

void warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  warning_text(text);
}

void alert(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  alert_text(text);
}

int ask_choice(const std::string& question, const std::vector<std::string>& answers, int default_answer) {
  return current_sink->choice(current_location, cut_long_words(question), answers, default_answer);
}

void show_text_list(const std::string& raw, const std::string& title, bool reports_error) {
  const std::string text = cut_long_words(raw);
  if (reports_error) {
    ++alerts_raised;
    if (!should_show(true, title + "\n" + text)) return;
  }
  current_sink->show_list(text, title);
}

std::string string_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  return text;
}
