#include "ui/messages.h"

#include "interp/interp.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>

namespace {

Fl_Double_Window* list_window = nullptr;
Fl_Browser* list_browser = nullptr;
std::string list_title;

// A small lattice plate bent into a quarter cylinder: the program's mark.
class Logo : public Fl_Box {
public:
  Logo(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}
  void draw() override {
    fl_rectf(x(), y(), w(), h(), fl_rgb_color(30, 40, 60));
    const int n = 6;
    auto px = [&](int i, int j) {
      double a = M_PI / 2 * i / n;
      return std::pair<int, int>(x() + 10 + (int)((w() - 40) * (1 - std::cos(a))) + j * 3,
                                 y() + h() - 10 - (int)((h() - 40) * std::sin(a)) - j * 5);
    };
    fl_color(fl_rgb_color(90, 170, 240));
    for (int i = 0; i <= n; ++i)
      for (int j = 0; j <= n; ++j) {
        auto [x0, y0] = px(i, j);
        if (i < n) {
          auto [x1, y1] = px(i + 1, j);
          fl_line(x0, y0, x1, y1);
        }
        if (j < n) {
          auto [x1, y1] = px(i, j + 1);
          fl_line(x0, y0, x1, y1);
        }
      }
  }
};

}  // namespace

// The dialog's first line says where the message comes from, as batch mode's "FILE:LINE:" does:
// the failing line is only marked in the editor once the run is over.
static std::string located(const MessageLocation& where, const std::string& text) {
  if (where.file.empty()) return text;
  const std::string name = where.file.substr(where.file.find_last_of('/') + 1);
  return (where.line > 0 ? "line " + std::to_string(where.line) + " of " + name : name) + ":\n" + text;
}

void FltkSink::alert(const MessageLocation& where, const std::string& text) {
  fl_alert("%s", located(where, text).c_str());
}

int FltkSink::choice(const MessageLocation& where, const std::string& question,
                     const std::vector<std::string>& answers, int default_answer) {
  auto label = [&](size_t i) { return i < answers.size() ? answers[i].c_str() : nullptr; };
  // The first answer is the rightmost button and the one Esc and the close box choose; the
  // second is the one Return chooses.
  fl_message_title("Question");
  int chosen = fl_choice("%s", label(0), label(1), label(2), located(where, question).c_str());
  return chosen >= 0 && chosen < (int)answers.size() ? chosen : default_answer;
}

void FltkSink::show_list(const std::string& text, const std::string& title) {
  fl_show_list(text.c_str(), title.c_str());
}

void FirstMessageRecorder::record(const MessageLocation& at, const std::string& message) {
  if (recorded) return;
  recorded = true;
  where = at;
  text = message;
}

void FirstMessageRecorder::alert(const MessageLocation& at, const std::string& message) {
  record(at, message);
  mInner.alert(at, message);
}

int FirstMessageRecorder::choice(const MessageLocation& at, const std::string& question,
                                 const std::vector<std::string>& answers, int default_answer) {
  record(at, question.substr(0, question.find('\n')));
  return mInner.choice(at, question, answers, default_answer);
}

void FirstMessageRecorder::show_list(const std::string& list, const std::string& title) {
  mInner.show_list(list, title);
}

void fl_show_list(const char* text, const char* title) {
  if (!list_window) {
    Fl_Group* current = Fl_Group::current();
    Fl_Group::current(nullptr);
    list_window = new Fl_Double_Window(300, 300);
    list_browser = new Fl_Browser(5, 5, 290, 290);
    list_browser->textfont(FL_HELVETICA);
    static const int columns[] = {110, 0};
    list_browser->column_widths(columns);
    list_window->resizable(list_browser);
    list_window->end();
    Fl_Group::current(current);
  }
  list_title = title ? title : "";
  list_window->label(list_title.c_str());
  list_browser->clear();
  std::string all = text ? text : "";
  size_t start = 0;
  int widest = 0;
  fl_font(list_browser->textfont(), list_browser->textsize());
  while (start < all.size()) {
    size_t nl = all.find('\n', start);
    if (nl == std::string::npos) nl = all.size();
    std::string line = all.substr(start, nl - start);
    list_browser->add(line.c_str());
    size_t shown = 0;  // format codes such as "@b@c" do not take room
    while (shown + 1 < line.size() && line[shown] == '@' && line[shown + 1] != '@') shown += 2;
    widest = std::max(widest, int(fl_width(line.c_str() + shown)));
    start = nl + 1;
  }
  // At least 300 x 300; wider and taller when the lines need it, up to three quarters of the screen,
  // so a report such as the mesh check reads without scrolling sideways.
  const int rows = list_browser->size() * (list_browser->textsize() + 4);
  list_window->size(std::clamp(widest + 40, 300, std::max(300, Fl::w() * 3 / 4)),
                    std::clamp(rows + 20, 300, std::max(300, Fl::h() * 3 / 4)));
  if (Fl_Window* first = Fl::first_window(); first && first != list_window)
    list_window->position(first->x() + (first->w() - list_window->w()) / 2,
                          first->y() + (first->h() - list_window->h()) / 2);
  else
    list_window->position((Fl::w() - list_window->w()) / 2, (Fl::h() - list_window->h()) / 2);
  list_window->show();
}

std::string shown_list_text() {
  std::string text;
  if (!list_browser) return text;
  for (int i = 1; i <= list_browser->size(); ++i) text += std::string(list_browser->text(i)) + "\n";
  return text;
}

void show_about_window() {
  static Fl_Double_Window* about = nullptr;
  if (!about) {
    Fl_Group* current = Fl_Group::current();
    Fl_Group::current(nullptr);
    about = new Fl_Double_Window(320, 150, "About pelgrove");
    new Logo(10, 10, 120, 130);
    auto* name = new Fl_Box(140, 20, 170, 30, "pelgrove");
    name->labelfont(FL_HELVETICA_BOLD);
    name->labelsize(22);
    auto* version = new Fl_Box(140, 55, 170, 40, version_text());
    version->align(FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    auto* ok = new Fl_Button(230, 110, 80, 28, "OK");
    ok->callback([](Fl_Widget* w, void*) { w->window()->hide(); });
    about->set_non_modal();
    about->end();
    Fl_Group::current(current);
  }
  about->show();
}

namespace {
std::string choose_with_toolkit(const char* title, const char* pattern, const char* preset, bool relative) {
  const char* chosen = fl_file_chooser(title, pattern, preset, relative ? 1 : 0);
  return chosen ? chosen : "";
}
}  // namespace

std::string (*gChooseFile)(const char*, const char*, const char*, bool) = choose_with_toolkit;
