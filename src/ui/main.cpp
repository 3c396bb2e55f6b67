#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "ui/command_line.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
  pelorin::answerWithoutWindow(argc, argv);

  QApplication app(argc, argv);  // takes the window system's options out of argv
  pelorin::nameTheApplication();
  // Docks and task switchers find the menu entry, with its name and icon, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.pelorin.Pelorin"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelorin.ico")));
  QCommandLineParser parser;
  pelorin::describeCommandLine(parser);
  parser.process(app);

  // Qt's own words in the person's language; the boxes' titles and prompts are the probe's.
  QTranslator qtWords;
  if (pelorin::loadQtTranslation(qtWords, QLocale())) QCoreApplication::installTranslator(&qtWords);

  const std::vector<std::string> files = pelorin::fileArguments(
      std::vector<std::string>(argv, argv + argc), pelorin::currentFolder().value_or(""));

  pelorin::Form1 form;
  form.show();
  // Files from the command line are probed once the window is up, as if picked in its dialog.
  if (!files.empty()) QTimer::singleShot(0, &form, [&form, &files] { form.probeFiles(files); });
  return app.exec();
}
