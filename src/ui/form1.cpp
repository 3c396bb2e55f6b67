#include "ui/form1.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace pelorin {

Form1::Form1(std::unique_ptr<CommonDialog> dialog, std::unique_ptr<MessageBoxSink> boxes)
    : cmdClickMe(new QPushButton(QStringLiteral("&Click Me!"), this)),
      CMDialog1(dialog ? std::move(dialog) : std::make_unique<QtCommonDialog>(this)),
      messageBoxes_(boxes ? std::move(boxes) : std::make_unique<QtMessageBoxSink>(this)),
      ctx_(*messageBoxes_),
      queue_(ctx_, CMDialog1->FileName) {
  setWindowTitle(QStringLiteral("Wave file Info"));
  setFixedSize(kClientSize);
  cmdClickMe->setGeometry(kButtonBounds);
  // Enter runs the button as Space does, in a window that is not a dialog too.
  cmdClickMe->setAutoDefault(true);
  cmdClickMe->setFocus();
  connect(cmdClickMe, &QPushButton::clicked, this, &Form1::cmdClickMe_Click);
  setAcceptDrops(true);
}

Form1::~Form1() = default;

void Form1::cmdClickMe_Click() {
  queue_.pickAndProbe(*CMDialog1);
}

void Form1::probeFiles(const std::vector<std::string>& paths) {
  queue_.probeInTurn(paths);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (localFilesOf(*event->mimeData()).empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = localFilesOf(*event->mimeData());
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // The boxes are modal: show them after the drop has finished, so that the program the files
  // were dragged from is not kept waiting until the last box closes.
  QTimer::singleShot(0, this, [this, paths = std::move(paths)] { probeFiles(paths); });
}

std::optional<std::string> localPathOf(const QUrl& url) {
  if (!url.isLocalFile()) return std::nullopt;
  // A file URL with another host names a file on that machine, not one here; QUrl would make
  // it a path of two leading slashes, which the system reads as a local one.
  const QString host = url.host();
  if (!host.isEmpty() && host != QStringLiteral("localhost")) return std::nullopt;
  // Decoding the percent escapes by hand keeps names that are not valid UTF-8 byte for byte.
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::vector<std::string> localFilesOf(const QMimeData& mime) {
  std::vector<std::string> paths;
  if (!mime.hasUrls()) return paths;
  for (const QUrl& url : mime.urls()) {
    if (auto path = localPathOf(url)) paths.push_back(std::move(*path));
  }
  return paths;
}

}  // namespace pelorin
