// control: the control-flow commands if/if0/ifpos/ifneg/ifset/ifnset, switch, repeat, partition.
// Blocks run as nested scripts; "0" and the partition parameters are saved and restored
// around them so nesting works.
#pragma once

class scriptstream;

bool then_else(scriptstream& s, bool condition);
bool command_if_then_else(scriptstream& s, bool (*predicate)(double));

bool command_if(scriptstream& s);         // if <int> { <true_script> } { <optional_false_script> }
bool command_if0(scriptstream& s);
bool command_ifpos(scriptstream& s);
bool command_ifneg(scriptstream& s);
bool command_ifset(scriptstream& s);      // ifset <name> { ... } { ... }
bool command_ifnset(scriptstream& s);
bool command_switch(scriptstream& s);     // switch <value> { case <v> {..} default {..} }
bool command_repeat(scriptstream& s);     // repeat <count> { <script> }
bool command_partition(scriptstream& s);  // partition {m1 m2 ...} {n1 n2 ...} { <script> }
