#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <optional>

#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/window_system.h"

int main(int argc, char** argv) {
  const pelorin::CommandLine commandLine = pelorin::parseCommandLine(
      std::vector<std::string>(argv, argv + argc), pelorin::currentFolder().value_or(""));
  if (const auto status = pelorin::answerWithoutWindow(commandLine, stdout, stderr)) return *status;

  pelorin::keepNoSettings();
  pelorin::RuntimeFolder runtimeFolder;
  // Qt sees its own options and nothing else: a file named "-platform" after "--" stays a file.
  pelorin::ArgumentVector qtArguments(commandLine.qtArguments);
  std::optional<pelorin::WindowSystemStart> start(std::in_place, runtimeFolder);
  QApplication app(qtArguments.argc(), qtArguments.argv());
  start.reset();
  pelorin::nameTheApplication();
  // Docks and task switchers find the menu entry, with its name and icon, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.pelorin.Pelorin"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelorin.ico")));

  // Qt's own words in the person's language; the boxes' titles and prompts are the probe's.
  QTranslator qtWords;
  if (pelorin::loadQtTranslation(qtWords, QLocale())) QCoreApplication::installTranslator(&qtWords);

  pelorin::Form1 form;
  form.show();
  // Files from the command line are probed once the window is up, as if picked in its dialog.
  const std::vector<std::string>& files = commandLine.files;
  if (!files.empty()) QTimer::singleShot(0, &form, [&form, &files] { form.probeFiles(files); });
  return app.exec();
}
