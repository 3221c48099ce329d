// alert_hint: one line added to the next alert, saying what a failed read most likely
// meant. The interpreter clears it before every command. Implemented with message.
#pragma once

#include <string>

void set_alert_hint(const std::string& hint);
void clear_alert_hint();
