#include "ui/Fl_Emacs.h"

#include "builders/builders.h"
#include "interp/interp.h"
#include "interp/library.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

// ORDER STYLES: one entry per letter of script_styles.
Fl_Text_Display::Style_Table_Entry kStyles[] = {
    {FL_BLACK, FL_COURIER, 13, 0},                          // A plain
    {fl_rgb_color(110, 110, 110), FL_COURIER_ITALIC, 13, 0}, // B comment
    {fl_rgb_color(0, 110, 160), FL_COURIER, 13, 0},          // C number
    {fl_rgb_color(150, 60, 0), FL_COURIER, 13, 0},           // D bracketed expression
    {fl_rgb_color(0, 0, 170), FL_COURIER_BOLD, 13, 0},       // E command
    {fl_rgb_color(0, 120, 0), FL_COURIER_BOLD, 13, 0},       // F builder
    {fl_rgb_color(130, 0, 130), FL_COURIER_BOLD, 13, 0},     // G library function
};

bool is_number(const std::string& word) {
  char* end = nullptr;
  std::strtod(word.c_str(), &end);
  return end != word.c_str() && *end == 0;
}

char word_style(const std::string& word) {
  if (commands.count(word)) return 'E';
  if (is_library_function(word)) return 'G';
  if (gBuilders.count(word)) return 'F';
  if (is_number(word)) return 'C';
  return 'A';
}

bool is_blank(char c) { return std::isspace((unsigned char)c); }

}  // namespace

// Comments run from '#' or '!' to the end of the line, even inside a word or an expression,
// as the script reader strips them; brackets nest.
std::string script_styles(const std::string& text) {
  std::string styles(text.size(), 'A');
  size_t i = 0;
  int depth = 0;
  size_t word_start = std::string::npos;
  auto end_word = [&](size_t end) {
    if (word_start == std::string::npos) return;
    char s = word_style(text.substr(word_start, end - word_start));
    for (size_t k = word_start; k < end; ++k) styles[k] = s;
    word_start = std::string::npos;
  };
  while (i < text.size()) {
    char c = text[i];
    if (c == '#' || c == '!') {
      end_word(i);
      while (i < text.size() && text[i] != '\n') styles[i++] = 'B';
      continue;
    }
    if (c == '[') {
      end_word(i);
      ++depth;
    }
    if (depth > 0) {
      styles[i] = 'D';
      if (c == ']') --depth;
      ++i;
      continue;
    }
    if (is_blank(c) || c == '{' || c == '}' || c == ';') end_word(i);
    else if (word_start == std::string::npos) word_start = i;
    ++i;
  }
  end_word(text.size());
  return styles;
}

Fl_Emacs::Fl_Emacs(int x, int y, int w, int h, const char* label)
    : Fl_Text_Editor(x, y, w, h, label), mText(new Fl_Text_Buffer), mStyle(new Fl_Text_Buffer) {
  buffer(mText);
  highlight_data(mStyle, kStyles, sizeof(kStyles) / sizeof(kStyles[0]), 'A', nullptr, nullptr);
  mText->add_modify_callback(buffer_modified, this);
  mText->tab_distance(4);
  textfont(FL_COURIER);
  textsize(13);
  linenumber_width(44);
  linenumber_size(12);
  linenumber_fgcolor(fl_rgb_color(120, 120, 120));
  linenumber_bgcolor(fl_rgb_color(236, 236, 236));
  linenumber_align(FL_ALIGN_RIGHT);
  cursor_style(Fl_Text_Display::HEAVY_CURSOR);
}

Fl_Emacs::~Fl_Emacs() {
  mText->remove_modify_callback(buffer_modified, this);
  buffer(nullptr);
  highlight_data(nullptr, nullptr, 0, 'A', nullptr, nullptr);
  delete mText;
  delete mStyle;
}

void Fl_Emacs::buffer_modified(int pos, int inserted, int deleted, int, const char* deleted_text, void* self) {
  auto* e = static_cast<Fl_Emacs*>(self);
  if (!inserted && !deleted) return;
  if (deleted) e->record(1, pos, std::string(deleted_text ? deleted_text : "", deleted));
  if (inserted) {
    char* text = e->mText->text_range(pos, pos + inserted);
    e->record(0, pos, text);
    std::free(text);
  }
  e->restyle();
  e->changed();
}

void Fl_Emacs::record(int kind, int pos, std::string text) {
  mHistory.push_back({kind, pos, std::move(text)});
  if (!mUndoing) mUndoCursor = (unsigned)mHistory.size();
}

void Fl_Emacs::changed() {
  if (mOnChange) mOnChange(mOnChangeData);
}

void Fl_Emacs::restyle() {
  char* text = mText->text();
  mStyle->text(script_styles(text).c_str());
  std::free(text);
  redisplay_range(0, mText->length());
}

void Fl_Emacs::clear_history() {
  mHistory.clear();
  mUndoCursor = 0;
  changed();
}

bool Fl_Emacs::undo() {
  if (mUndoCursor > mHistory.size()) mUndoCursor = (unsigned)mHistory.size();
  if (mUndoCursor == 0) return false;
  --mUndoCursor;
  const TextChanges change = mHistory[mUndoCursor];
  mUndoing = true;
  if (change.kind == 0) mText->remove(change.pos, change.pos + (int)change.text.size());
  else mText->insert(change.pos, change.text.c_str());
  mUndoing = false;
  insert_position(change.kind == 0 ? change.pos : change.pos + (int)change.text.size());
  show_insert_position();
  return true;
}

void Fl_Emacs::do_copy() { kf_copy(0, this); }
void Fl_Emacs::do_cut() { kf_cut(0, this); }
void Fl_Emacs::do_paste() { kf_paste(0, this); }
void Fl_Emacs::do_delete() { kf_delete(0, this); }

void Fl_Emacs::end_search() {
  mSearching = false;
  mSearch.clear();
}

// One row per line of the key list. `keys` are the control letters the row binds (Ctrl with
// '-' and Shift is '_'); `also` names the plain keys that do the same.
struct Fl_Emacs::Binding {
  const char* section;  // starts a new group in the list when set
  const char* keys;
  const char* also;
  const char* what;
  void (*act)(Fl_Emacs& e);
};

const Fl_Emacs::Binding Fl_Emacs::kBindings[] = {
    {"Undo", "z_", nullptr, "undo the last change; again goes further back, to the text as opened or saved",
     [](Fl_Emacs& e) { e.undo(); }},
    {nullptr, nullptr, nullptr, "(after other edits, undo first takes back the undos)", nullptr},
    {"Cursor", "a", "Home", "go to start of line", [](Fl_Emacs& e) { kf_home(0, &e); }},
    {nullptr, "e", "End", "go to end of line", [](Fl_Emacs& e) { kf_end(0, &e); }},
    {nullptr, "b", "Left", "move left one character", [](Fl_Emacs& e) { kf_left(0, &e); }},
    {nullptr, "f", "Right", "move right one character", [](Fl_Emacs& e) { kf_right(0, &e); }},
    {nullptr, "n", "Down", "move down one line", [](Fl_Emacs& e) { kf_down(0, &e); }},
    {nullptr, "p", "Up", "move up one line", [](Fl_Emacs& e) { kf_up(0, &e); }},
    {"Cut, Copy, Paste", "c", nullptr, "copy selected text to clipboard", [](Fl_Emacs& e) { e.do_copy(); }},
    {nullptr, "xw", nullptr, "copy selected text to clipboard and delete it", [](Fl_Emacs& e) { e.do_cut(); }},
    {nullptr, "vy", nullptr, "paste clipboard contents at cursor", [](Fl_Emacs& e) { e.do_paste(); }},
    {nullptr, "d", "Delete", "delete selection or character right of cursor", [](Fl_Emacs& e) { e.do_delete(); }},
    {nullptr, "k", nullptr, "cut from cursor to end of line", [](Fl_Emacs& e) { e.kill_line(); }},
    {nullptr, "u", nullptr, "delete everything", [](Fl_Emacs& e) {
       e.mText->select(0, e.mText->length());
       e.do_delete();
     }},
    {"Search", "s", nullptr, "find as you type, ignoring case; again for the next match",
     [](Fl_Emacs& e) {
       search(&e, e.mSearch, 0, e.mSearching);
       e.mSearching = true;
     }},
};

std::string Fl_Emacs::key_list_text() {
  std::string text;
  for (const Binding& b : kBindings) {
    if (b.section) text += std::string(text.empty() ? "" : "\n") + "@_@b@c" + b.section + "\n";
    std::string keys;
    for (const char* k = b.keys; k && *k; ++k) keys += std::string(keys.empty() ? "" : " or ") + "^" + *k;
    if (b.also) keys += " or " + std::string(b.also);
    keys.resize(std::max<size_t>(keys.size(), 14), ' ');
    text += "@f" + keys + "\t" + (b.keys ? "-- " : "   ") + b.what + "\n";
  }
  return text;
}

void Fl_Emacs::kill_line() {
  int pos = insert_position(), end = mText->line_end(pos);
  if (end > pos) {
    mText->select(pos, end);
    kf_cut(0, this);
  }
}

// The bound control keys; 0 for a key the toolkit editor should have. Every key but the
// search key ends a search.
int Fl_Emacs::ctrl_key(int key) {
  if (key <= 0 || key >= 128) return 0;
  for (const Binding& b : kBindings) {
    if (!b.keys || !std::strchr(b.keys, key)) continue;
    if (key != 's') end_search();
    b.act(*this);
    return 1;
  }
  return 0;
}

int Fl_Emacs::handle_key() {
  int key = Fl::event_key();
  if (Fl::event_state(FL_CTRL)) {
    if (key == '-' && Fl::event_state(FL_SHIFT)) key = '_';
    if (ctrl_key(key)) return 1;
    int used = Fl_Text_Editor::handle(FL_KEYBOARD);
    if (used) end_search();
    return used;
  }
  // Alt and Meta keys are menu shortcuts, even while searching.
  if (mSearching && key < 128 && !Fl::event_state(FL_ALT | FL_META) && Fl::event_length() == 1) {
    search(this, mSearch, Fl::event_text()[0], false);
    return 1;
  }
  return Fl_Text_Editor::handle(FL_KEYBOARD);
}

int Fl_Emacs::handle(int event) {
  switch (event) {
    case FL_KEYBOARD: return handle_key();
    case FL_PUSH:
    case FL_RELEASE:
    case FL_DRAG: end_search(); break;
  }
  return Fl_Text_Editor::handle(event);
}

void search(Fl_Text_Editor* editor, std::string& text, char c, bool again) {
  if (c) text += c;
  if (text.empty()) return;
  Fl_Text_Buffer* buf = editor->buffer();
  int start = editor->insert_position();
  int sel_start = 0, sel_end = 0;
  if (again && buf->selection_position(&sel_start, &sel_end) && start == sel_start && start < sel_end &&
      start < buf->length())
    ++start;
  int found = 0;
  if (!buf->search_forward(start, text.c_str(), &found, 0)) {
    fl_beep();
    return;
  }
  buf->select(found, found + (int)text.size());
  editor->insert_position(found);
  editor->show_insert_position();
}
