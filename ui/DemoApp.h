// The application: sets up the numeric conventions, the font and the icon,
// then runs the main window modally and ends when it closes.
#pragma once

#include <QApplication>

class CDemoApp : public QApplication {
 public:
  CDemoApp(int& argc, char** argv);

  // Runs the main window; returns the process's exit code.
  int InitInstance();
};

// Number texts follow the C library's rules whatever the operator's locale:
// Qt adopts the environment's locale when the application starts, so this
// runs after the application object exists.
void UseCNumericConventions();
