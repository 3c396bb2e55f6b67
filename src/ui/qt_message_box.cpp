#include "ui/qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>

#include "runtime/box_text.h"

namespace pelorin {

namespace {

// Room the title bar takes besides the title: the window's icon, its buttons and margins.
constexpr int kTitleBarDecoration = 150;

// The selection of `label`, with its line breaks as "\n": QLabel gives paragraph separators.
QString selectedLines(const QLabel& label) {
  QString text = label.selectedText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

// Puts the box's selected text or, with nothing selected, the whole box on the clipboard when a
// copy key is pressed, whether the text or a button has the focus. It sits in front of the
// label, whose own copy would do nothing without a selection.
class BoxCopier : public QObject {
 public:
  BoxCopier(QMessageBox& box, QLabel& label) : QObject(&box), box_(box), label_(label) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) return false;
    QGuiApplication::clipboard()->setText(label_.hasSelectedText() ? selectedLines(label_)
                                                                   : boxAsText(box_));
    return true;
  }

 private:
  QMessageBox& box_;
  QLabel& label_;
};

}  // namespace

QString displayPrompt(PromptView prompt) {
  Text shown;
  appendBoxText(shown, prompt);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

QString displayTitle(std::string_view title) {
  Text shown;
  appendDisplayLine(shown, title);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

void keepLinesWhole(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  const QFontMetrics metrics(label->font());
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  // QMessageBox turns word wrap on for a text wider than min(500 px, half the screen) and wraps
  // it at that width. A label never narrower than its widest line keeps every line whole, with
  // word wrap on or off; the box grows to fit it. A pixel more for the layout's rounding.
  label->setMinimumWidth(widest + 1);
}

void fitTitle(QMessageBox& box) {
  const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
  const int width = metrics.horizontalAdvance(box.windowTitle()) + kTitleBarDecoration;
  // QMessageBox sizes itself from its layout, so the minimum width goes in as a spacer.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

QString boxAsText(const QMessageBox& box) {
  const QString dashes = QString(27, QLatin1Char('-')) + QLatin1Char('\n');
  QStringList buttons;
  for (const QAbstractButton* button : box.buttons()) buttons << button->text();
  return dashes + box.windowTitle() + QLatin1Char('\n') + dashes + box.text() + QLatin1Char('\n') +
         dashes + buttons.join(QLatin1Char(' ')) + QLatin1Char('\n') + dashes;
}

void makeCopyable(QMessageBox& box) {
  box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // QMessageBox's own label: the one child that shows the text.
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  auto* copier = new BoxCopier(box, *label);
  box.installEventFilter(copier);
  label->installEventFilter(copier);
}

int QtMessageBoxSink::show(PromptView prompt, std::int32_t, std::optional<std::string_view> title) {
  QMessageBox box(parent_);
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(displayTitle(title.value_or(kApplicationTitle)));
  box.setText(displayPrompt(prompt));
  box.setStandardButtons(QMessageBox::Ok);
  keepLinesWhole(box);
  fitTitle(box);
  makeCopyable(box);
  box.exec();
  return kOkAnswer;
}

}  // namespace pelorin
