#ifndef APP_PROGRAMRUN_H
#define APP_PROGRAMRUN_H

#include <functional>

class QWidget;
class mainwindow;

// The program's life from the making of its window to its end, under a
// QApplication made by the caller. main() runs it; the end-to-end tests run
// it with 'shown', called once the window shows, to open the dialog they
// then end the program under.
int runProgram(const std::function<void(mainwindow &)> &shown = {});

// Ends the program from whatever state it is in, as closing its window
// does: every dialog and message box is closed, innermost first, so that
// the event loops they run return; then the window; then every event loop
// is told to quit, so that runProgram() returns and the window keeps its
// records on the way out.
void endProgram(QWidget *window);

#endif
