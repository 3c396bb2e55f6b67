#include "ui/command_line.h"

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <climits>
#include <string_view>

#include "version/version.h"

namespace pelorin {

void nameTheApplication() {
  // The name only: a display name would be appended to every window title.
  QCoreApplication::setApplicationName(QString::fromUtf8(
      kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())));
  QCoreApplication::setApplicationVersion(
      QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
}

bool loadQtTranslation(QTranslator& translator, const QLocale& locale) {
  return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

void describeCommandLine(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Tells what the header of a RIFF/WAVE sound file says and how long the sound plays.\n"
      "Without FILE, shows the window; its button picks a file to probe."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Files to probe at start, one box after another."),
                               QStringLiteral("[FILE...]"));
}

void answerWithoutWindow(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  describeCommandLine(parser);
  // A command line the parser does not understand may hold the window system's own options
  // (-platform, -display): the window's turn comes first, and its parser reports any error.
  if (!parser.parse(arguments)) return;
  const bool answers = parser.isSet(QStringLiteral("help")) ||
                       parser.isSet(QStringLiteral("help-all")) ||
                       parser.isSet(QStringLiteral("version"));
  if (!answers) return;
  QCoreApplication app(argc, argv);
  nameTheApplication();
  parser.process(app);  // prints the answer and exits
}

std::vector<std::string> fileArguments(const std::vector<std::string>& arguments,
                                       const std::string& currentFolder) {
  std::vector<std::string> files;
  bool afterDashes = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--" && !afterDashes) {
      afterDashes = true;
      continue;
    }
    files.push_back(absolutePath(arguments[i], currentFolder));
  }
  return files;
}

std::string absolutePath(const std::string& path, const std::string& folder) {
  // An empty name stays empty: the probe reports it as a bad file name.
  if (path.empty()) return path;
  if (path.front() != '/' && folder.empty()) return path;
  std::string joined;
  if (path.front() != '/') joined.append(folder).append(1, '/');
  joined.append(path);
  std::string clean;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    clean += '/';
    clean += part;
  }
  if (clean.empty()) clean.push_back('/');
  // A trailing slash says "a folder": keep it, so the probe's report stays true to the name.
  if (joined.back() == '/' && clean != "/") clean += '/';
  return clean;
}

std::optional<std::string> currentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return std::nullopt;
  return std::string(buffer);
}

}  // namespace pelorin
