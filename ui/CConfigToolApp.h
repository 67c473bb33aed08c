#pragma once

#include <QString>

namespace qk::ui {

// The program around the main window: reads the command line, and for a normal start
// creates the application, builds the port directory (plus a simulated device with
// --demo), runs the main window modally and ends when it closes. The program's life is
// the main window's; nothing else is shown, nothing is stored.
//
// It does not reach into the window: everything the window needs goes in through its
// constructor.
class CConfigToolApp {
  public:
    CConfigToolApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

    // Everything from start to end; the process's exit status. 1 for arguments that are
    // not understood and for a start that cannot happen (no display, no simulated device
    // for --demo).
    int Run();

    // The application's name, the caption of every message box: the executable's file
    // name without directory and extension ("C:\\x\\QK4410ConfTool.EXE" and
    // "/usr/bin/QK4410ConfTool" both give "QK4410ConfTool").
    static QString ApplicationNameFromPath(const QString& path);

  private:
    int& m_argc;
    char** m_argv;
};

}  // namespace qk::ui
