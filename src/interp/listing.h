// listing: the live tables of the running program as plain text — commands with their
// usage, builders, built-in and user functions, part-library functions with their
// documentation, and the predefined parameters. Printed by `pelgrove --list`; owns no state.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// The table names write_listing accepts, in the order they are offered.
const std::vector<std::string>& listing_names();

// Writes table `which` to `out`; false, writing nothing, for a name not in listing_names().
// "parameters" resets the parameter table to its start-of-run state first.
bool write_listing(const std::string& which, std::ostream& out);

// The --list option: the table on `out` and 0, or for an unknown name a command-line error
// naming the valid tables on `err` and 2.
int print_listing(const std::string& which, std::ostream& out, std::ostream& err);
