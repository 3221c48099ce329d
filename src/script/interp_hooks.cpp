#include "script/interp_hooks.h"

namespace {
Interp_Hooks installed;
}  // namespace

const Interp_Hooks& interp_hooks() { return installed; }

void install_interp_hooks(const Interp_Hooks& hooks) { installed = hooks; }
