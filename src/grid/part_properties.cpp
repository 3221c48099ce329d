#include "grid/part_properties.h"

#include "script/scriptstream.h"
#include "util/message.h"

#include <cctype>

std::string part_material = "material";

namespace {

const char* const DEFAULT_ELEMENT_NAMES[5] = {"", "", "B31", "S3", "S4"};
std::string element_names[5] = {"", "", "B31", "S3", "S4"};

Spacing spacings[2];

struct KindWord {
  const char* word;
  int points;
};
const KindWord KIND_WORDS[] = {{"bar", 2}, {"triangle", 3}, {"tri", 3}, {"quadrilateral", 4}, {"quad", 4}};

}  // namespace

void reset_part_properties() {
  part_material = "material";
  for (int k = 2; k <= 4; ++k) element_names[k] = DEFAULT_ELEMENT_NAMES[k];
  spacings[0] = spacings[1] = Spacing();
}

const Spacing& part_spacing(int axis) { return spacings[axis ? 1 : 0]; }

// set u_spacing <uniform | bias ratio | bump ratio | cluster strength>
// The number may be an [expression]; a failure keeps the spacing in force.
bool set_part_spacing(const std::string& name, scriptstream& s) {
  std::string word;
  s >> word;
  Spacing::Kind kind;
  if (!Spacing::kind_of(word, kind)) {
    alert("set %s: expected uniform, bias <ratio>, bump <ratio> or cluster <strength>, not '%s'", name.c_str(),
          word.c_str());
    return false;
  }
  double value = 0;
  if (kind != Spacing::uniform) {
    s >> value;
    if (!s.good()) {
      alert("set %s %s: expected a number", name.c_str(), word.c_str());
      return false;
    }
  }
  std::string why;
  Spacing& spacing = spacings[name == "v_spacing" ? 1 : 0];
  if (Spacing::make(kind, value, spacing, why)) return true;
  alert("set %s: %s", name.c_str(), why.c_str());
  return false;
}

const std::string& solver_element_name(int points) { return element_names[points >= 2 && points <= 4 ? points : 4]; }
void set_solver_element_name(int points, const std::string& type) {
  if (points >= 2 && points <= 4) element_names[points] = type;
}

// material <name>
bool command_material(scriptstream& s) {
  std::string word;
  s >> word;
  if (word.empty()) {
    alert("material requires a name");
    return false;
  }
  part_material = word;
  return true;
}

// element_name <bar|triangle|quadrilateral> <type>
// The type is a word of letters and digits, kept in capitals (S4R, T3D2); that its node
// count fits the kind is the user's to know.
bool command_element_name(scriptstream& s) {
  std::string kind, type;
  s >> kind >> type;
  int points = 0;
  for (const KindWord& k : KIND_WORDS)
    if (kind == k.word) points = k.points;
  if (!points) {
    alert("element_name: '%s' is not bar, triangle or quadrilateral", kind.c_str());
    return false;
  }
  bool ok = !type.empty() && std::isalpha((unsigned char)type[0]);
  for (char& c : type) {
    ok = ok && std::isalnum((unsigned char)c);
    c = (char)std::toupper((unsigned char)c);
  }
  if (!ok) {
    alert("element_name %s: expected an element type of letters and digits (such as %s), not '%s'", kind.c_str(),
          DEFAULT_ELEMENT_NAMES[points], type.c_str());
    return false;
  }
  element_names[points] = type;
  return true;
}
