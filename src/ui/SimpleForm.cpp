#include "ui/SimpleForm.h"

#include "util/QuickMD5.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Scroll.H>

#include <cctype>
#include <sstream>

namespace {

// The rest of the line after the name, with every blank removed: "[w * 2]" -> "[w*2]".
std::string rest_of_line_without_blanks(std::istream& in) {
  std::string line, value;
  std::getline(in, line);
  for (char c : line)
    if (!std::isspace((unsigned char)c)) value += c;
  return value;
}

}  // namespace

bool SimpleForm::renew(const std::string& text, const std::string& title) {
  mTitle = title;
  bool rebuilt = QuickMD5(text) != mDigest || !mScroll;
  if (rebuilt) setup(text);
  mTitleBox->copy_label(mTitle.c_str());
  mScroll->resize(mEditor->x(), mEditor->y(), mEditor->w(), mEditor->h());
  mScroll->show();
  mEditor->hide();
  if (mScroll->parent()) mScroll->parent()->redraw();
  return rebuilt;
}

void SimpleForm::setup(const std::string& text) {
  mDigest = QuickMD5(text);
  const int x = mEditor->x(), y = mEditor->y(), w = mEditor->w();
  if (!mScroll) {
    Fl_Group* current = Fl_Group::current();
    Fl_Group::current(mEditor->parent());
    mScroll = new Fl_Scroll(x, y, w, mEditor->h());
    mScroll->box(FL_DOWN_BOX);
    mScroll->color(fl_rgb_color(245, 245, 238));
    mTitleBox = new Fl_Box(x + 20, y + 3, 175, 20);
    mTitleBox->labelfont(FL_HELVETICA_BOLD);
    mTitleBox->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    auto* close = new Fl_Button(x + 5, y + 5, 10, 10, "X");
    close->labelsize(8);
    close->callback(close_simple_form, this);
    mScroll->end();
    mScroll->hide();
    Fl_Group::current(current);
  } else {
    for (Fl_Input* field : mFields) {
      mScroll->remove(field);
      delete field;
    }
  }
  mTitleBox->copy_label(mTitle.c_str());
  mNames.clear();
  mValues.clear();
  mFields.clear();
  std::istringstream in(text);
  std::string keyword, name;
  int field_y = mScroll->y() + 45;
  while (in >> keyword >> name) {
    if (keyword != "set") continue;
    std::string value = rest_of_line_without_blanks(in);
    mNames.push_back(name);
    mValues.push_back(value);
    auto* field = new Fl_Input(mScroll->x() + 5, field_y, mScroll->w() - 10, 25);
    field->copy_label(name.c_str());
    field->align(FL_ALIGN_TOP_LEFT);
    field->value(value.c_str());
    mScroll->add(field);
    mFields.push_back(field);
    field_y += 45;
  }
  mScroll->redraw();
}

void SimpleForm::update_vals() {
  for (size_t i = 0; i < mFields.size(); ++i) mValues[i] = mFields[i]->value();
}

std::string SimpleForm::script_text() {
  update_vals();
  std::string text;
  for (size_t i = 0; i < mNames.size(); ++i) text += "set " + mNames[i] + " " + mValues[i] + "\n";
  return text;
}

bool SimpleForm::shown() const { return mScroll && mScroll->visible(); }

void close_simple_form(Fl_Widget*, void* data) {
  auto* form = static_cast<SimpleForm*>(data);
  Fl_Scroll* scroll = form->scroll();
  Fl_Widget* editor = form->editor();
  editor->resize(scroll->x(), scroll->y(), scroll->w(), scroll->h());
  editor->show();
  scroll->hide();
  if (scroll->parent()) scroll->parent()->redraw();
}
