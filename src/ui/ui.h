// ui: the interactive mode's entry point.
#pragma once

// Opens the main window with the script named by the last argument, if any, and runs the event
// loop; returns the process exit status. Fails with a message when no display can be opened.
int run_interactive(int argc, char** argv);
