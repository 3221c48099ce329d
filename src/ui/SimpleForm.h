// SimpleForm: a column of input fields that stands in for the script editor while a script
// with `simple_form` runs; each field holds the value of one `set` command of the block.
// Rebuilt only when the block's digest changes, so edited values survive later runs.
#pragma once

#include <string>
#include <vector>

class Fl_Box;
class Fl_Input;
class Fl_Scroll;
class Fl_Widget;

class SimpleForm {
public:
  // The form takes the place of `editor` inside the editor's parent.
  explicit SimpleForm(Fl_Widget* editor) : mEditor(editor) {}
  SimpleForm(const SimpleForm&) = delete;
  SimpleForm& operator=(const SimpleForm&) = delete;

  // Shows the form in the editor's place; rebuilds the fields first when `text` changed.
  // Returns true when it rebuilt them.
  bool renew(const std::string& text, const std::string& title);
  void setup(const std::string& text);
  void update_vals();
  // One "set <name> <value>\n" per field, with the fields' current texts.
  std::string script_text();

  bool shown() const;
  const std::vector<std::string>& names() const { return mNames; }
  const std::vector<Fl_Input*>& fields() const { return mFields; }
  const std::string& title() const { return mTitle; }
  Fl_Scroll* scroll() const { return mScroll; }
  Fl_Widget* editor() const { return mEditor; }

private:
  Fl_Widget* mEditor;
  std::string mDigest, mTitle;
  std::vector<std::string> mNames, mValues;
  std::vector<Fl_Input*> mFields;
  Fl_Scroll* mScroll = nullptr;
  Fl_Box* mTitleBox = nullptr;
};

// The "X" button: the editor comes back in the form's place.
void close_simple_form(Fl_Widget* button, void* form);
