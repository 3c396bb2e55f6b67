#include "ui/qt_message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "runtime/text.h"

namespace pelorin {

namespace {

// Room the title bar takes besides the title: the window's icon, its buttons and margins.
constexpr int kTitleBarDecoration = 150;

}  // namespace

QString displayPrompt(PromptView prompt) {
  Text shown;
  appendDisplayText(shown, prompt.text, prompt.lineBreaks);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
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

int QtMessageBoxSink::show(PromptView prompt, std::int32_t, std::optional<std::string_view> title) {
  QMessageBox box(parent_);
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(displayPrompt(PromptView(title.value_or(kApplicationTitle))));
  box.setText(displayPrompt(prompt));
  box.setStandardButtons(QMessageBox::Ok);
  fitTitle(box);
  box.exec();
  return kOkAnswer;
}

}  // namespace pelorin
