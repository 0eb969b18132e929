#include "ui/DemoApp.h"

#include <clocale>
#include <cstdio>

#include "ui/AppIcon.h"
#include "ui/DemoScreenshot.h"
#include "ui/DialogFont.h"
#include "ui/LanguageSwitch.h"
#include "ui/MainDlg.h"
#include "ui/forms/DialogLayout.h"

void UseCNumericConventions() { std::setlocale(LC_NUMERIC, "C"); }

CDemoApp::CDemoApp(int& argc, char** argv) : QApplication(argc, argv) {
  UseCNumericConventions();
  setApplicationName(QString::fromUtf8(forms::texts::AppName));
  setFont(DialogFont());
  setWindowIcon(AppIcon());
}

int CDemoApp::InitInstance() {
  const QStringList args = arguments();
  const qsizetype option = args.indexOf(QStringLiteral("--demo-screenshot"));
  // Every window is built in the language it starts in.
  ui::StartLanguage();
  CMainDlg dlg;
  if (option < 0) {
    dlg.DoModal();
    return 0;
  }
  if (option + 1 >= args.size()) {
    std::fprintf(stderr, "KORVELT_Demo: --demo-screenshot needs a file name\n");
    return 2;
  }
  DemoScreenshot screenshot(dlg, args[option + 1]);
  dlg.DoModal();
  return screenshot.Succeeded() ? 0 : 1;
}
