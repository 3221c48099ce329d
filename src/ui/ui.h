// ui: the interactive mode's entry point.
#pragma once

// Opens the main window with the script named by the last argument, if any, and runs the event
// loop; returns the process exit status. Without a usable display it says so on one line of
// standard error and returns 1.
int run_interactive(int argc, char** argv);
