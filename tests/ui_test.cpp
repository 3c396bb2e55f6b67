#include <sys/stat.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <optional>

#include "support.h"
#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/qt_message_box.h"
#include "ui/window_system.h"
#include "wave_builder.h"

using namespace pelorin;

namespace {

// Stands in for the open dialog: answers with a path, or cancels when it has none.
class ScriptedDialog : public CommonDialog {
 public:
  std::optional<std::string> answer;
  int shown = 0;
  std::int32_t flagsSeen = -1;
  bool cancelErrorSeen = false;
  std::string filterSeen;

  bool ShowOpen(RuntimeContext& ctx) override {
    ++shown;
    flagsSeen = Flags;
    cancelErrorSeen = CancelError;
    filterSeen = Filter;
    if (!answer) {
      if (CancelError) ctx.raise(ErrorNumber::kCancelSelected);
      return false;
    }
    FileName = *answer;
    return true;
  }
};

// A window with a scripted dialog and a recorder of its message boxes.
struct RecordedForm {
  RecordedForm()
      : dialog(new ScriptedDialog),
        boxes(new testing::RecordingSink),
        form(std::unique_ptr<CommonDialog>(dialog), std::unique_ptr<MessageBoxSink>(boxes)) {}

  // The text a recorded box showed: its prompt in display form.
  QString text(int box) const {
    const testing::ShownBox& shown = boxes->boxes.at(box);
    Prompt prompt{shown.prompt, shown.lineBreaks};
    return displayPrompt(prompt);
  }
  QString title(int box) const {
    return QString::fromStdString(boxes->boxes.at(box).title.value_or("Pelorin"));
  }
  int count() const { return static_cast<int>(boxes->boxes.size()); }

  ScriptedDialog* dialog;
  testing::RecordingSink* boxes;
  Form1 form;
};

// A message box as it appeared on screen.
struct SeenBox {
  QString title;
  QString text;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::Information;
  QList<QAbstractButton*>::size_type buttonCount = 0;
  bool okButton = false;
  int width = 0;
};

// Polls for modal widgets while an action runs: each QMessageBox is read and closed; any other
// modal widget goes to `onOtherModal`, which must close it before the next poll.
class ModalWatcher {
 public:
  std::function<void(QWidget*)> onOtherModal;
  QList<SeenBox> boxes;

  void run(const std::function<void()>& action) {
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    timer.start();
    action();
    timer.stop();
  }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const auto buttons = box->buttons();
      boxes << SeenBox{box->windowTitle(), box->text(),    box->textFormat(),
                       box->icon(),        buttons.size(), box->button(QMessageBox::Ok) != nullptr,
                       box->width()};
      box->button(QMessageBox::Ok)->click();
    } else if (onOtherModal) {
      onOtherModal(modal);
    }
  }
};

QString fromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), s.size());
}

// A prompt whose lines are those its CR LF pairs mark.
Prompt promptOf(std::string_view text) {
  Prompt prompt;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
       at = text.find("\r\n", at + 2)) {
    prompt.lineBreaks.push_back(at);
  }
  prompt.text.assign(text);
  return prompt;
}

// Shows `prompt` in the desktop's box, runs `act` on the box once it is up, then presses OK.
// `act` must not return early: the box would stay open.
void withDesktopBox(std::string_view prompt, const std::function<void(QMessageBox&)>& act) {
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    timer.stop();
    static_cast<void>(QTest::qWaitForWindowActive(box));  // keys go where the focus is
    act(*box);
    box->button(QMessageBox::Ok)->click();
  });
  timer.start();
  QtMessageBoxSink(nullptr).show(promptOf(prompt), kOkOnly, std::nullopt);
}

// Presses Ctrl+C on `widget` and returns what the clipboard then holds.
QString copyFrom(QWidget* widget) {
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier);
  return QGuiApplication::clipboard()->text();
}

}  // namespace

// The folders Qt is given as the user's for this run, each empty at the start, all inside one
// temporary folder: the tests never touch the real home.
constexpr std::pair<const char*, const char*> kQtHomeFolders[] = {
    {"HOME", "home"},          {"XDG_CONFIG_HOME", "config"},  {"XDG_CACHE_HOME", "cache"},
    {"XDG_DATA_HOME", "data"}, {"XDG_RUNTIME_DIR", "runtime"},
};

const testing::TempDir& qtHome() {
  static const testing::TempDir home;
  return home;
}

// Every file and folder below the folders of kQtHomeFolders.
QStringList entriesInQtHome() {
  QStringList entries;
  for (const auto& [variable, folder] : kQtHomeFolders) {
    QDirIterator entry(QString::fromStdString(qtHome() / folder),
                       QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (entry.hasNext()) entries << entry.next();
  }
  return entries;
}

class UiTest : public QObject {
  Q_OBJECT

 public:
  // Before the application is made: Qt gets a home of its own and, as the program's start
  // does, keeps no settings.
  static void initMain() {
    for (const auto& [variable, folder] : kQtHomeFolders) {
      const std::string path = qtHome() / folder;
      ::mkdir(path.c_str(), 0700);
      ::setenv(variable, path.c_str(), 1);
    }
    keepNoSettings();
  }

 private slots:
  void layoutOfTheWindow();
  void everyWayOfPressingTheButtonShowsOneBox_data();
  void everyWayOfPressingTheButtonShowsOneBox();
  void cancelShowsNothing();
  void filterTranslation();
  void filterEntriesListTheRightFiles();
  void realFileDialogEndsInTheRightBox_data();
  void realFileDialogEndsInTheRightBox();
  void theWindowWritesNothingAndKeepsNoState();
  void promptsAreShownAsPlainText();
  void boxIsWideEnoughForItsTitle();
  void ctrlCWithNothingSelectedCopiesTheWholeBox_data();
  void ctrlCWithNothingSelectedCopiesTheWholeBox();
  void ctrlCCopiesTheSelection();
  void longLinesAreBrokenWithAMark_data();
  void longLinesAreBrokenWithAMark();
  void theBoxBreaksNoLineOfItsOwn();
  void qtWordsFollowTheLocale();
  void fileArgumentsAreMadeAbsolute();
  void qtSeesOnlyItsOptionsBeforeTheDashes_data();
  void qtSeesOnlyItsOptionsBeforeTheDashes();
  void filesFromTheCommandLineShowOneBoxEachInOrder();
  void filesArrivingDuringABoxWaitTheirTurn();
  void droppedFilesAreProbedInOrder();
  void dropWithoutLocalFilesIsRefused();
  void droppedNamesKeepTheirBytes();
  void fileUrlsOfOtherHostsAreNotLocal_data();
  void fileUrlsOfOtherHostsAreNotLocal();
  void aProbeThatThrowsLeavesTheQueueGoing();
  void everyVersionOptionAsksForTheVersion();
  void theWindowSystemsFailureIsExplained_data();
  void theWindowSystemsFailureIsExplained();
  void qtGetsARuntimeFolderOfItsOwnRemovedAtTheEnd();

 private:
  testing::TempDir dir_;
};

void UiTest::layoutOfTheWindow() {
  Form1 form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QCOMPARE(form.windowTitle(), QStringLiteral("Wave file Info"));
  QCOMPARE(form.size(), QSize(231, 107));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  QCOMPARE(form.cmdClickMe->text(), QStringLiteral("&Click Me!"));
  QCOMPARE(form.cmdClickMe->geometry(), QRect(72, 40, 97, 33));
  QCOMPARE(form.focusWidget(), form.cmdClickMe);
  QCOMPARE(form.nextInFocusChain(), form.cmdClickMe);
  QCOMPARE(form.findChildren<QWidget*>().size(), 1);
}

void UiTest::everyWayOfPressingTheButtonShowsOneBox_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("mouse click") << "mouse";
  QTest::newRow("Alt+C") << "alt-c";
  QTest::newRow("Space") << "space";
  QTest::newRow("Enter") << "enter";
}

void UiTest::everyWayOfPressingTheButtonShowsOneBox() {
  QFETCH(QString, how);
  const std::string path = dir_.write("tone.wav", canonicalWave());
  RecordedForm recorded;
  ScriptedDialog* scripted = recorded.dialog;
  Form1& form = recorded.form;
  scripted->answer = path;
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));

  if (how == "mouse") QTest::mouseClick(form.cmdClickMe, Qt::LeftButton);
  if (how == "alt-c") QTest::keyClick(form.windowHandle(), Qt::Key_C, Qt::AltModifier);
  if (how == "space") QTest::keyClick(form.cmdClickMe, Qt::Key_Space);
  if (how == "enter") QTest::keyClick(form.cmdClickMe, Qt::Key_Return);
  // A mnemonic animates the click, which lands a moment later.
  QTRY_COMPARE(scripted->shown, 1);

  QCOMPARE(scripted->flagsSeen, 4);
  QVERIFY(scripted->cancelErrorSeen);
  QCOMPARE(scripted->filterSeen, std::string("Wave Files (*.wav)|*.wav|All Files (*.*)|*.*"));
  QCOMPARE(recorded.count(), 1);
  QCOMPARE(recorded.title(0), QStringLiteral("Wav file info..."));
  QCOMPARE(recorded.boxes->boxes[0].buttons, 0);
  QCOMPARE(recorded.text(0),
           QStringLiteral("ckID1 =RIFF\nRiffID =WAVE\nckID2 =fmt \nFilename =") + fromUtf8(path) +
               QStringLiteral("\nFormat tag = 1\nFormat Chunk Length = 16\n"
                              "Sample rate = 44100\nBits/Sample = 16\n"
                              "Number of channels = 2\nNumber of  samples = 176400\n"
                              "Length = 1 seconds."));
}

void UiTest::cancelShowsNothing() {
  RecordedForm recorded;
  Form1& form = recorded.form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QTest::mouseClick(form.cmdClickMe, Qt::LeftButton);
  QCOMPARE(recorded.dialog->shown, 1);
  QCOMPARE(recorded.count(), 0);
  QVERIFY(form.isVisible());
  QCOMPARE(form.windowTitle(), QStringLiteral("Wave file Info"));
  QCOMPARE(form.size(), QSize(231, 107));
}

void UiTest::filterTranslation() {
  QCOMPARE(nameFiltersFor(kWaveFilter),
           QStringList({QStringLiteral("Wave Files (*.wav) (*.[wW][aA][vV])"),
                        QStringLiteral("All Files (*.*) (*)")}));
  QCOMPARE(dialogPattern(QStringLiteral("*.*")), QStringLiteral("*"));
  QCOMPARE(dialogPattern(QStringLiteral("a?1.mid")), QStringLiteral("[aA]?1.[mM][iI][dD]"));
}

void UiTest::filterEntriesListTheRightFiles() {
  testing::TempDir folder;
  for (const char* name : {"tone.wav", "LOUD.WAV", "noext", "notes.txt"}) folder.write(name, "x");
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(nameFiltersFor(kWaveFilter));
  dialog.setDirectory(fromUtf8(folder.path()));
  auto* model = dialog.findChild<QFileSystemModel*>();
  QVERIFY(model);
  auto listed = [&] {
    QStringList names;
    const QModelIndex root = model->index(fromUtf8(folder.path()));
    for (int row = 0; row < model->rowCount(root); ++row) {
      const QModelIndex index = model->index(row, 0, root);
      if (model->flags(index) & Qt::ItemIsEnabled) names << index.data().toString();
    }
    names.sort();
    return names;
  };
  QTRY_COMPARE(listed(), QStringList({"LOUD.WAV", "tone.wav"}));
  // The entries show their descriptions as given.
  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  QVERIFY(types);
  QCOMPARE(types->itemText(0), QStringLiteral("Wave Files (*.wav)"));
  QCOMPARE(types->itemText(1), QStringLiteral("All Files (*.*)"));
  dialog.selectNameFilter(nameFiltersFor(kWaveFilter).at(1));
  QTRY_COMPARE(listed(), QStringList({"LOUD.WAV", "noext", "notes.txt", "tone.wav"}));
}

void UiTest::realFileDialogEndsInTheRightBox_data() {
  QTest::addColumn<bool>("exists");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("text");
  QTest::newRow("a file") << true << "Wav file info..."
                          << "ckID1 =RIFF\nRiffID =WAVE\nckID2 =fmt \nFilename =%1\n"
                             "Format tag = 1\nFormat Chunk Length = 16\nSample rate = 44100\n"
                             "Bits/Sample = 16\nNumber of channels = 2\n"
                             "Number of  samples = 88200\nLength = 0.5 seconds.";
  QTest::newRow("a typed name of a missing file") << false << "Pelorin"
                                                  << "Error opening file %1\n 53 - File not found";
}

void UiTest::realFileDialogEndsInTheRightBox() {
  QFETCH(bool, exists);
  QFETCH(QString, title);
  QFETCH(QString, text);
  const std::string path =
      exists ? dir_.write("real.wav", canonicalWave(88200)) : dir_ / "gone.wav";
  Form1 form(std::make_unique<QtCommonDialog>(nullptr));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  ModalWatcher watcher;
  QFileDialog* lastDialog = nullptr;
  int dialogs = 0;
  bool typed = false;
  watcher.onOtherModal = [&](QWidget* modal) {
    auto* fileDialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(fileDialog);
    if (fileDialog != lastDialog) ++dialogs;
    lastDialog = fileDialog;
    // Back after a box of its own: the dialog refused the name. Cancelling ends the test.
    if (typed && !watcher.boxes.isEmpty()) return fileDialog->reject();
    if (typed) return;
    typed = true;
    auto* nameEdit = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit);
    nameEdit->setText(fromUtf8(path));
    // Pressed from the dialog's loop rather than inside this poll, so that the next poll sees
    // any box the dialog opens.
    QTimer::singleShot(0, nameEdit, [nameEdit] { QTest::keyClick(nameEdit, Qt::Key_Return); });
  };
  watcher.run([&] { QTest::mouseClick(form.cmdClickMe, Qt::LeftButton); });
  // One box, the probe's: the dialog asks nothing of its own about the name.
  QCOMPARE(watcher.boxes.size(), 1);
  QCOMPARE(watcher.boxes[0].title, title);
  QCOMPARE(watcher.boxes[0].text, text.arg(fromUtf8(path)));
  QCOMPARE(dialogs, 1);
}

void UiTest::theWindowWritesNothingAndKeepsNoState() {
  const std::string chosen = dir_.write("chosen.wav", canonicalWave());
  Form1 form(std::make_unique<QtCommonDialog>(nullptr));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  ModalWatcher watcher;
  QStringList openedIn;
  watcher.onOtherModal = [&](QWidget* modal) {
    auto* fileDialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(fileDialog);
    openedIn << fileDialog->directory().absolutePath();
    // Nor can the person make, rename or delete anything from it.
    auto* newFolder = fileDialog->findChild<QAbstractButton*>(QStringLiteral("newFolderButton"));
    QVERIFY(newFolder && !newFolder->isEnabled());
    auto* nameEdit = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameEdit);
    // The first and the last dialog are cancelled; the second chooses a file.
    if (openedIn.size() == 2) nameEdit->setText(fromUtf8(chosen));
    QTest::keyClick(nameEdit, openedIn.size() == 2 ? Qt::Key_Return : Qt::Key_Escape);
  };
  watcher.run([&] {
    for (int click = 0; click < 3; ++click) QTest::mouseClick(form.cmdClickMe, Qt::LeftButton);
  });
  form.close();
  QCOMPARE(openedIn.size(), 3);
  QCOMPARE(watcher.boxes.size(), 1);
  QCOMPARE(watcher.boxes[0].title, QStringLiteral("Wav file info..."));
  // Within a run the dialog opens where the last file was chosen.
  QCOMPARE(openedIn[2], fromUtf8(dir_.path()));
  QCOMPARE(entriesInQtHome(), QStringList());
}

void UiTest::promptsAreShownAsPlainText() {
  const std::string markup = dir_.write("<b>x<b> & \xC3\xA9.wav", canonicalWave());
  const std::string zeros = dir_.write(
      "zeros.wav",
      WaveBuilder().formType(std::string("W\0\0E", 4)).fmt(1, 1, 8000, 8).data(8).bytes());
  const std::string missing = dir_ / "missing.wav";
  auto dialog = std::make_unique<ScriptedDialog>();
  ScriptedDialog* scripted = dialog.get();
  Form1 form(std::move(dialog));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  ModalWatcher watcher;
  watcher.run([&] {
    for (const std::string& path : {markup, zeros, missing}) {
      scripted->answer = path;
      form.cmdClickMe_Click();
    }
  });
  QCOMPARE(watcher.boxes.size(), 3);
  for (const SeenBox& box : watcher.boxes) QCOMPARE(box.format, Qt::PlainText);
  QVERIFY(watcher.boxes[0].text.contains(QStringLiteral("Filename =") + fromUtf8(markup) + "\n"));
  QVERIFY(watcher.boxes[0].text.contains(QStringLiteral("<b>x<b> & \u00e9.wav")));
  QCOMPARE(watcher.boxes[1].title, QStringLiteral("Invalid .wav file!"));
  QCOMPARE(watcher.boxes[1].text,
           QStringLiteral("ckID =RIFF\nRiffID =W\u2400\u2400E\nFourCCckID =fmt "));
  QCOMPARE(watcher.boxes[2].title, QStringLiteral("Pelorin"));
  QCOMPARE(watcher.boxes[2].text,
           QStringLiteral("Error opening file ") + fromUtf8(missing) + "\n 53 - File not found");
}

void UiTest::boxIsWideEnoughForItsTitle() {
  const std::string shortFile = dir_.write("short.wav", "RIFF");
  auto dialog = std::make_unique<ScriptedDialog>();
  dialog->answer = shortFile;
  Form1 form(std::move(dialog));
  form.show();
  ModalWatcher watcher;
  watcher.run([&] { form.cmdClickMe_Click(); });
  QCOMPARE(watcher.boxes.size(), 1);
  QCOMPARE(watcher.boxes[0].text, QStringLiteral("Invalid .WAV file!"));
  const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
  QVERIFY(watcher.boxes[0].width > metrics.horizontalAdvance(QStringLiteral("Pelorin")) + 100);
}

void UiTest::ctrlCWithNothingSelectedCopiesTheWholeBox_data() {
  QTest::addColumn<bool>("focusOnText");
  QTest::newRow("focus on OK") << false;
  QTest::newRow("focus on the text") << true;
}

void UiTest::ctrlCWithNothingSelectedCopiesTheWholeBox() {
  QFETCH(bool, focusOnText);
  QString copied;
  withDesktopBox("Error opening file a\x1b.wav\r\n 53 - File not found", [&](QMessageBox& box) {
    QWidget* focus = box.button(QMessageBox::Ok);
    if (focusOnText) focus = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    focus->setFocus();
    copied = copyFrom(focus);
  });
  const QString dashes = QStringLiteral("---------------------------\n");
  QCOMPARE(copied, dashes + "Pelorin\n" + dashes + "Error opening file a\u241b.wav\n" +
                       " 53 - File not found\n" + dashes + "OK\n" + dashes);
}

void UiTest::ctrlCCopiesTheSelection() {
  QString copied;
  withDesktopBox("ckID =RIFF\r\nRiffID =WAVE\r\nFourCCckID =LIST", [&](QMessageBox& box) {
    auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    text->setFocus();
    // The text's cursor starts at its end.
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(text, Qt::Key_End, Qt::ShiftModifier);
    copied = copyFrom(text);
  });
  QCOMPARE(copied, QStringLiteral("ckID =RIFF\nRiffID =WAVE"));
}

void UiTest::longLinesAreBrokenWithAMark_data() {
  QTest::addColumn<QString>("prompt");  // CR LF at its own line breaks
  QTest::addColumn<QString>("shown");
  const QString mark = QStringLiteral("\n  \u21AA ");
  const QString x60(60, QLatin1Char('x'));
  QTest::newRow("60 characters stay") << x60 << x60;
  QTest::newRow("61 characters") << x60 + "y" << x60 + mark + "y";
  QTest::newRow("a continuation holds 56 more")
      << x60 + QString(56, QLatin1Char('y')) << x60 + mark + QString(56, QLatin1Char('y'));
  QTest::newRow("a name that would forge a line")
      << "Filename =take.wav" + QString(90, QLatin1Char(' ')) + "Length = 3600 seconds."
      << "Filename =take.wav" + QString(42, QLatin1Char(' ')) + mark +
             QString(48, QLatin1Char(' ')) + "Length =" + mark + " 3600 seconds.";
  QTest::newRow("characters, not bytes")
      << QString(61, QChar(0xE9)) << QString(60, QChar(0xE9)) + mark + QChar(0xE9);
  QTest::newRow("a control picture is one character")
      << QString(59, QLatin1Char('x')) + "\x1b" + "y"
      << QString(59, QLatin1Char('x')) + QChar(0x241B) + mark + "y";
  QTest::newRow("each line on its own") << "a\r\n" + x60 + "b\r\nc"
                                        << "a\n" + x60 + mark + "b\nc";
}

void UiTest::longLinesAreBrokenWithAMark() {
  QFETCH(QString, prompt);
  QFETCH(QString, shown);
  QCOMPARE(displayPrompt(promptOf(prompt.toStdString())), shown);
}

void UiTest::theBoxBreaksNoLineOfItsOwn() {
  // Wide letters with spaces between them: 60 characters wider than the box's wrapping width.
  QString wide;
  while (wide.size() < 60) wide += QStringLiteral("WM ");
  const std::string prompt = "Filename =take.wav" + std::string(90, ' ') +
                             "Length = 3600 seconds.\r\n" + wide.left(60).toStdString();
  int lines = 0;
  int height = 0;
  int lineSpacing = 1;
  QString copied;
  withDesktopBox(prompt, [&](QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    lines = static_cast<int>(box.text().count(QLatin1Char('\n'))) + 1;
    height = label->height();
    lineSpacing = label->fontMetrics().lineSpacing();
    copied = copyFrom(box.button(QMessageBox::Ok));
  });
  QCOMPARE(lines, 4);
  QCOMPARE(height / lineSpacing, lines);
  const QString dashes = QStringLiteral("---------------------------\n");
  QCOMPARE(copied, dashes + "Pelorin\n" + dashes + displayPrompt(promptOf(prompt)) + "\n" + dashes +
                       "OK\n" + dashes);
}

void UiTest::qtWordsFollowTheLocale() {
  QTranslator german;
  QVERIFY(loadQtTranslation(german, QLocale(QStringLiteral("de_DE"))));
  // The word on the open dialog's cancel button.
  QCOMPARE(german.translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
}

void UiTest::fileArgumentsAreMadeAbsolute() {
  using Strings = std::vector<std::string>;
  QVERIFY(parseCommandLine({"pelorin", "a.wav", "/x/b.wav"}, "/home/u").files ==
          Strings({"/home/u/a.wav", "/x/b.wav"}));
  // "--" ends the options once; a second one is a file's name.
  QVERIFY(parseCommandLine({"pelorin", "--", "-n.wav", "--"}, "/d").files ==
          Strings({"/d/-n.wav", "/d/--"}));
  QVERIFY(parseCommandLine({"pelorin"}, "/d").files == Strings());
  QVERIFY(absolutePath("./a//b/./c.wav", "/home/u/") == std::string("/home/u/a/b/c.wav"));
  QVERIFY(absolutePath("../c.wav", "/home/u") == std::string("/home/u/../c.wav"));
  QVERIFY(absolutePath("sub/", "/d") == std::string("/d/sub/"));
  QVERIFY(absolutePath(".", "/") == std::string("/"));
  QVERIFY(absolutePath("\xFF.wav", "/d") == std::string("/d/\xFF.wav"));
  QVERIFY(absolutePath("", "/d") == std::string());
  QVERIFY(absolutePath("a.wav", "") == std::string("a.wav"));
}

namespace {

std::vector<std::string> toStrings(const QStringList& list) {
  std::vector<std::string> strings;
  for (const QString& item : list) strings.push_back(item.toStdString());
  return strings;
}

}  // namespace

void UiTest::qtSeesOnlyItsOptionsBeforeTheDashes_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QStringList>("qtArguments");
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QString>("error");
  const QStringList none;
  QTest::newRow("-platform after --")
      << QStringList{"pelorin", "--", "-platform", "good.wav"} << QStringList{"pelorin"}
      << QStringList{"/d/-platform", "/d/good.wav"} << QString();
  QTest::newRow("-style after --")
      << QStringList{"pelorin", "--", "-style", "x.wav"} << QStringList{"pelorin"}
      << QStringList{"/d/-style", "/d/x.wav"} << QString();
  QTest::newRow("-reverse after --")
      << QStringList{"pelorin", "--", "-reverse"} << QStringList{"pelorin"}
      << QStringList{"/d/-reverse"} << QString();
  QTest::newRow("Qt's options before --")
      << QStringList{"pelorin",       "-platform", "offscreen", "a.wav", "--reverse",
                     "-style=fusion", "-display",  ":1",        "--",    "b.wav"}
      << QStringList{"pelorin",       "-platform", "offscreen", "--reverse",
                     "-style=fusion", "-display",  ":1"}
      << QStringList{"/d/a.wav", "/d/b.wav"} << QString();
  QTest::newRow("a lone dash is a file")
      << QStringList{"pelorin", "-"} << QStringList{"pelorin"} << QStringList{"/d/-"} << QString();
  QTest::newRow("unknown option") << QStringList{"pelorin", "a.wav", "--bogus"} << none << none
                                  << "unknown option '--bogus'";
  QTest::newRow("a form Qt does not read") << QStringList{"pelorin", "-platform=xcb"} << none
                                           << none << "unknown option '-platform=xcb'";
  QTest::newRow("value missing before --")
      << QStringList{"pelorin", "-platform", "--", "x.wav"} << none << none
      << "option '-platform' needs a value (NAME[:OPTIONS])";
}

void UiTest::qtSeesOnlyItsOptionsBeforeTheDashes() {
  QFETCH(QStringList, arguments);
  QFETCH(QStringList, qtArguments);
  QFETCH(QStringList, files);
  QFETCH(QString, error);
  const CommandLine sorted = parseCommandLine(toStrings(arguments), "/d");
  QCOMPARE(QString::fromStdString(sorted.error), error);
  QCOMPARE(sorted.request == CommandLine::Request::kUsageError, !error.isEmpty());
  QVERIFY(sorted.qtArguments == toStrings(qtArguments));
  QVERIFY(sorted.files == toStrings(files));
}

void UiTest::filesFromTheCommandLineShowOneBoxEachInOrder() {
  const std::string first = dir_.write("first.wav", canonicalWave(44100));
  const std::string second = dir_.write("second.wav", canonicalWave(88200));
  const std::string missing = dir_ / "missing.wav";
  RecordedForm recorded;
  Form1& form = recorded.form;
  form.show();
  form.probeFiles({first, second, missing});
  QCOMPARE(recorded.count(), 3);
  QVERIFY(recorded.text(0).contains(QStringLiteral("Filename =") + fromUtf8(first) + "\n"));
  QVERIFY(recorded.text(0).endsWith(QStringLiteral("Length = 0.25 seconds.")));
  QVERIFY(recorded.text(1).contains(QStringLiteral("Filename =") + fromUtf8(second) + "\n"));
  QVERIFY(recorded.text(1).endsWith(QStringLiteral("Length = 0.5 seconds.")));
  QCOMPARE(recorded.title(2), QStringLiteral("Pelorin"));
  QCOMPARE(recorded.text(2),
           QStringLiteral("Error opening file ") + fromUtf8(missing) + "\n 53 - File not found");
  // The window stays, and its next dialog opens where the last file was.
  QVERIFY(form.isVisible());
  QCOMPARE(form.CMDialog1->FileName, missing);
}

void UiTest::filesArrivingDuringABoxWaitTheirTurn() {
  const std::string first = dir_.write("turn1.wav", canonicalWave());
  const std::string second = dir_.write("turn2.wav", canonicalWave());
  Form1 form(std::make_unique<ScriptedDialog>());
  form.show();
  ModalWatcher watcher;
  watcher.run([&] {
    // Fires inside the first box's event loop, as a drop on the window would.
    QTimer::singleShot(0, &form, [&] { form.probeFiles({second}); });
    form.probeFiles({first});
  });
  QCOMPARE(watcher.boxes.size(), 2);
  QVERIFY(watcher.boxes[0].text.contains(fromUtf8(first)));
  QVERIFY(watcher.boxes[1].text.contains(fromUtf8(second)));
}

namespace {

// Sends a drag that enters the window with `mime`, then drops it; returns whether the window
// took the drag.
bool dragAndDrop(QWidget& target, QMimeData& mime) {
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &drop);
  return drop.isAccepted();
}

}  // namespace

void UiTest::droppedFilesAreProbedInOrder() {
  const std::string first = dir_.write("dropped-b.wav", canonicalWave());
  const std::string second = dir_.write("dropped-a.wav", canonicalWave(88200));
  RecordedForm recorded;
  Form1& form = recorded.form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(fromUtf8(first)),
                QUrl(QStringLiteral("https://example.org/x.wav")),
                QUrl::fromLocalFile(fromUtf8(second))});
  QVERIFY(dragAndDrop(form, mime));
  QTRY_COMPARE(recorded.count(), 2);
  QVERIFY(recorded.text(0).contains(QStringLiteral("Filename =") + fromUtf8(first) + "\n"));
  QVERIFY(recorded.text(1).contains(QStringLiteral("Filename =") + fromUtf8(second) + "\n"));
  QVERIFY(recorded.text(1).endsWith(QStringLiteral("Length = 0.5 seconds.")));
}

void UiTest::dropWithoutLocalFilesIsRefused() {
  RecordedForm recorded;
  Form1& form = recorded.form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/tone.wav"))});
  QMimeData text;
  text.setText(QStringLiteral("/tmp/tone.wav"));
  QVERIFY(!dragAndDrop(form, web));
  QVERIFY(!dragAndDrop(form, text));
  // A drop that skips the enter step is refused as well.
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  QVERIFY(!drop.isAccepted());
  QTest::qWait(100);
  QCOMPARE(recorded.count(), 0);
}

void UiTest::droppedNamesKeepTheirBytes() {
  QVERIFY(localPathOf(QUrl::fromEncoded("file:///tmp/%FF%20x.wav")) ==
          std::optional<std::string>("/tmp/\xFF x.wav"));
  QVERIFY(localPathOf(QUrl::fromLocalFile(QStringLiteral("/tmp/\u00e9.wav"))) ==
          std::optional<std::string>("/tmp/\xC3\xA9.wav"));
  QVERIFY(localPathOf(QUrl::fromEncoded("file://localhost/tmp/a.wav")) ==
          std::optional<std::string>("/tmp/a.wav"));
  QVERIFY(localPathOf(QUrl(QStringLiteral("https://example.org/a.wav"))) == std::nullopt);
}

void UiTest::fileUrlsOfOtherHostsAreNotLocal_data() {
  QTest::addColumn<QString>("url");
  QTest::addColumn<QString>("path");  // empty: refused
  QTest::newRow("host tmp") << "file://tmp/t/ok.wav" << QString();
  QTest::newRow("a remote host") << "file://evil.example.com/share/x.wav" << QString();
  QTest::newRow("localhost in capitals") << "file://LOCALHOST/tmp/a.wav"
                                         << "/tmp/a.wav";
  QTest::newRow("no host") << "file:///tmp/t/ok.wav"
                           << "/tmp/t/ok.wav";
}

void UiTest::fileUrlsOfOtherHostsAreNotLocal() {
  QFETCH(QString, url);
  QFETCH(QString, path);
  const std::optional<std::string> local = localPathOf(QUrl::fromEncoded(url.toUtf8()));
  QCOMPARE(QString::fromStdString(local.value_or("")), path);
  QCOMPARE(local.has_value(), !path.isEmpty());
}

namespace {

// Records the boxes shown, after throwing instead of showing the first one.
class ThrowsOnceSink : public testing::RecordingSink {
 public:
  int show(PromptView prompt, std::int32_t buttons,
           std::optional<std::string_view> title) override {
    if (!thrown_) {
      thrown_ = true;
      throw std::bad_alloc();
    }
    return RecordingSink::show(prompt, buttons, title);
  }

 private:
  bool thrown_ = false;
};

}  // namespace

void UiTest::aProbeThatThrowsLeavesTheQueueGoing() {
  const std::string first = dir_.write("throws.wav", canonicalWave());
  const std::string second = dir_.write("after.wav", canonicalWave(88200));
  auto* boxes = new ThrowsOnceSink;
  Form1 form(std::make_unique<ScriptedDialog>(), std::unique_ptr<MessageBoxSink>(boxes));
  form.probeFiles({first, second});
  form.probeFiles({second});
  QCOMPARE(boxes->boxes.size(), 2u);
  for (const testing::ShownBox& box : boxes->boxes) {
    QVERIFY(QString::fromStdString(box.prompt).endsWith(QStringLiteral("Length = 0.5 seconds.")));
  }
}

void UiTest::everyVersionOptionAsksForTheVersion() {
  for (const char* option : {"-V", "-v", "--version"}) {
    QVERIFY2(parseCommandLine({"pelorin", option}, "/d").request == CommandLine::Request::kVersion,
             option);
  }
}

void UiTest::theWindowSystemsFailureIsExplained_data() {
  QTest::addColumn<QStringList>("qpaMessages");
  QTest::addColumn<bool>("displayNamed");
  QTest::addColumn<QString>("reason");
  const QString cannotLoad = R"(Could not load the Qt platform plugin "xcb" in "" even though )"
                             "it was found.";
  QTest::newRow("no display") << QStringList{"could not connect to display ", cannotLoad} << false
                              << "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
  QTest::newRow("a display that is not there")
      << QStringList{"could not connect to display :99", cannotLoad} << true
      << "cannot connect to display :99";
  QTest::newRow("a plugin that does not exist")
      << QStringList{R"(Could not find the Qt platform plugin "bogus" in "")"} << true
      << R"(no window system plugin named "bogus" (available: offscreen, xcb))";
  QTest::newRow("anything else") << QStringList{"Failed to create wl_display"} << true
                                 << "Failed to create wl_display";
  QTest::newRow("nothing said") << QStringList() << true
                                << "the window system did not start (available: offscreen, xcb)";
}

void UiTest::theWindowSystemsFailureIsExplained() {
  QFETCH(QStringList, qpaMessages);
  QFETCH(bool, displayNamed);
  QFETCH(QString, reason);
  const QString fatal =
      "This application failed to start because no Qt platform plugin could be "
      "initialized.\n\nAvailable platform plugins are: offscreen, xcb.\n";
  QCOMPARE(QString::fromStdString(
               windowSystemFailure(toStrings(qpaMessages), fatal.toStdString(), displayNamed)),
           reason);
}

void UiTest::qtGetsARuntimeFolderOfItsOwnRemovedAtTheEnd() {
  const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
  const std::optional<QByteArray> tmpdirBefore =
      qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
  testing::TempDir temporary;
  qputenv("TMPDIR", QByteArray::fromStdString(temporary.path()));
  qunsetenv("XDG_RUNTIME_DIR");
  std::string made;
  {
    RuntimeFolder folder;
    made = folder.path();
    QCOMPARE(qgetenv("XDG_RUNTIME_DIR"), QByteArray::fromStdString(made));
    QVERIFY(made.starts_with(temporary.path() + "/pelorin-runtime-"));
    struct stat status {};
    QCOMPARE(::stat(made.c_str(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0700u);
    temporary.write(made.substr(temporary.path().size() + 1) + "/left-by-qt", "x");
  }
  QCOMPARE(::access(made.c_str(), F_OK), -1);
  // A session's own runtime folder is left as it is.
  RuntimeFolder none;
  QCOMPARE(none.path(), std::string());
  QCOMPARE(qgetenv("XDG_RUNTIME_DIR"), QByteArray::fromStdString(made));
  qputenv("XDG_RUNTIME_DIR", before);
  if (tmpdirBefore) {
    qputenv("TMPDIR", *tmpdirBefore);
  } else {
    qunsetenv("TMPDIR");
  }
}

QTEST_MAIN(UiTest)
#include "ui_test.moc"
