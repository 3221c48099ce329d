// Fl_Emacs: the script editor — emacs-style control keys, a change history that undo walks
// back through, incremental search, syntax colours from the live command, builder and
// library tables, and line numbers. Owns its text buffer and style buffer.
#pragma once

#include <FL/Fl_Text_Editor.H>

#include <string>
#include <vector>

struct TextChanges {
  int kind;  // 0 insertion, 1 deletion
  int pos;
  std::string text;
};

class Fl_Emacs : public Fl_Text_Editor {
public:
  Fl_Emacs(int x, int y, int w, int h, const char* label = nullptr);
  ~Fl_Emacs() override;
  Fl_Emacs(const Fl_Emacs&) = delete;
  Fl_Emacs& operator=(const Fl_Emacs&) = delete;

  int handle(int event) override;

  // Reverts the record before the undo cursor and leaves the cursor on it; false when there
  // is nothing left to undo.
  bool undo();
  void do_copy();
  void do_cut();
  void do_paste();
  void do_delete();

  // -- history (non-empty exactly while the text differs from what was opened or saved)
  const std::vector<TextChanges>& history() const { return mHistory; }
  unsigned undo_cursor() const { return mUndoCursor; }
  void clear_history();
  bool modified() const { return !mHistory.empty(); }
  // Called after every change to the text or to the history (the window marks its title).
  void on_change(void (*callback)(void*), void* data) { mOnChange = callback, mOnChangeData = data; }

  // -- search
  bool searching() const { return mSearching; }
  const std::string& search_text() const { return mSearch; }

  // The control keys as the help shows them: one section title line ("@_@b@c...") per group,
  // then one line per key.
  static std::string key_list_text();

  // -- colours
  // Re-colours the whole text (after the command, builder or library tables changed).
  void restyle();
  Fl_Text_Buffer* style_buffer() const { return mStyle; }

private:
  static void buffer_modified(int pos, int inserted, int deleted, int restyled, const char* deleted_text,
                              void* self);
  void record(int kind, int pos, std::string text);
  void changed();
  int handle_key();
  int ctrl_key(int key);
  void kill_line();

  struct Binding;
  static const Binding kBindings[];
  void end_search();

  std::vector<TextChanges> mHistory;
  unsigned mUndoCursor = 0;
  bool mUndoing = false;
  bool mSearching = false;
  std::string mSearch;
  Fl_Text_Buffer* mText;
  Fl_Text_Buffer* mStyle;
  void (*mOnChange)(void*) = nullptr;
  void* mOnChangeData = nullptr;
};

// Incremental search: appends `c` (unless 0) to `text`, then selects the next match at or
// after the cursor (one past it when `again` and the cursor starts the selection), ignoring
// case. No match rings the bell.
void search(Fl_Text_Editor* editor, std::string& text, char c, bool again);

// One style letter per character of `text`: 'A' plain, 'B' comment, 'C' number,
// 'D' [bracketed expression], 'E' command, 'F' builder, 'G' library function.
std::string script_styles(const std::string& text);
