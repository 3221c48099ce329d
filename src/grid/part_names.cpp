// Part naming: the names parts take, their stack, and the commands that change them.
#include "grid/part_names.h"

#include "grid/Grid.h"

#include "script/parameters.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <algorithm>
#include <sstream>
#include <string_view>

std::string part_name = "unnamed";
std::vector<std::string> base_part_name;
bool named_parts = false;

namespace {

// Length of the UTF-8 sequence at the start of `s` (1 to 4) with its code point, or 0 when
// it is not one: a stray continuation byte, a lead byte without its continuations, an
// overlong form, a surrogate or a code point past U+10FFFF.
int utf8_sequence(std::string_view s, char32_t& cp) {
  const auto b = [&](size_t i) { return (unsigned char)s[i]; };
  const unsigned lead = b(0);
  int n;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xc2 && lead <= 0xdf) {
    n = 2, cp = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    n = 3, cp = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    n = 4, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < (size_t)n) return 0;
  for (int i = 1; i < n; ++i) {
    if ((b(i) & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (b(i) & 0x3f);
  }
  const char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return n;
}

// Control characters (C0, DEL, C1) and every character Unicode counts as a space.
bool blank_or_control(char32_t cp) {
  return cp <= 0x20 || (cp >= 0x7f && cp <= 0xa0) || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200a) ||
         cp == 0x2028 || cp == 0x2029 || cp == 0x202f || cp == 0x205f || cp == 0x3000;
}

// "outer." inside a saved name, nothing at top level.
std::string name_prefix() { return base_part_name.empty() ? std::string() : base_part_name.back() + "."; }

void begin_part(const std::string& word) {
  named_parts = true;
  part_name = name_prefix() + word;
}

}  // namespace

// Every writer keeps a name as one word of text: a blank would split it in an ascii mesh
// file or an obj group, a control character is not allowed in XML, and bytes that are not
// UTF-8 make the text formats unreadable to strict readers.
std::string clean_part_name(std::string_view name) {
  std::string out;
  out.reserve(std::min(name.size(), kMaxPartNameBytes));
  while (!name.empty()) {
    char32_t cp = 0;
    int n = utf8_sequence(name, cp);
    std::string_view piece = name.substr(0, (size_t)std::max(n, 1));
    if (n == 0 || cp == 0xfffe || cp == 0xffff)
      piece = "?";
    else if (blank_or_control(cp))
      piece = "_";
    if (out.size() + piece.size() > kMaxPartNameBytes) break;  // cut at a character's start
    out += piece;
    name.remove_prefix((size_t)std::max(n, 1));
  }
  return out.empty() ? "unnamed" : out;
}

void reset_part_names() {
  base_part_name.clear();
  named_parts = false;
  part_name = "unnamed";
}

void push_part_name() {
  named_parts = true;
  base_part_name.push_back(part_name);
}

void pop_part_name() {
  named_parts = true;
  if (base_part_name.empty()) {
    part_name = "unnamed";
    return;
  }
  part_name = base_part_name.back();
  base_part_name.pop_back();
}

// begin <part_name>
bool command_begin_part(scriptstream& s) {
  std::string word;
  s >> word;
  begin_part(word);
  return true;
}

// begin_numbered <number>
// The number is written as a stream writes a double: 3 -> "3", 2.5 -> "2.5", 1e6 -> "1e+06".
bool command_begin_numbered_part(scriptstream& s) {
  double value = 0;
  s >> value;
  std::ostringstream text;
  text << value;
  begin_part(text.str());
  return true;
}

// push_name
bool command_push_name(scriptstream&) {
  if (!stack_has_room(base_part_name.size(), 1, "push_name")) return false;
  push_part_name();
  return true;
}

// pop_name
bool command_pop_name(scriptstream&) {
  pop_part_name();
  return true;
}

// delete <part_name>
// A deleted part keeps its points (they are still merged and numbered) but has no elements.
bool command_delete_part(scriptstream& s) {
  std::string word;
  s >> word;
  const std::string name = clean_part_name(word);
  bool found = false;
  for (Grid* g : Grid::gGrids) {
    if (g->name() != name) continue;
    g->set_deleted(true);
    found = true;
  }
  if (!found) alert_text("Could not find part named '" + word + "'");
  return found;
}
