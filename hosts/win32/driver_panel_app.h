// The application object: prepares the common controls and runs the panel modally; the program
// ends when the panel closes.
#ifndef DRIVERPANEL_HOSTS_WIN32_DRIVER_PANEL_APP_H
#define DRIVERPANEL_HOSTS_WIN32_DRIVER_PANEL_APP_H

#include <windows.h>

class CDriverPanelApp {
  public:
    // Runs the panel as the program's main and only window; returns FALSE, so the application
    // ends when the panel closes.
    BOOL InitInstance();
    // The program's exit status: 2 for a command line it did not understand.
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_ = 0;
};

#endif
