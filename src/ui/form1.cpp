#include "ui/form1.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "probe/sondur.h"

namespace pelorin {

namespace {

constexpr std::int32_t kHideReadOnly = 4;

}  // namespace

Form1::Form1(std::unique_ptr<CommonDialog> dialog, std::unique_ptr<MessageBoxSink> boxes)
    : cmdClickMe(new QPushButton(QStringLiteral("&Click Me!"), this)),
      CMDialog1(dialog ? std::move(dialog) : std::make_unique<QtCommonDialog>(this)),
      messageBoxes_(boxes ? std::move(boxes) : std::make_unique<QtMessageBoxSink>(this)),
      ctx_(*messageBoxes_) {
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
  OnErrorResumeNext resumeNext(ctx_);
  CMDialog1->Flags = kHideReadOnly;
  CMDialog1->CancelError = true;
  CMDialog1->Filter = kWaveFilter;
  if (!CMDialog1->ShowOpen(ctx_)) return;  // cancelled: nothing to probe
  probeFiles({CMDialog1->FileName});
}

void Form1::probeFiles(const std::vector<std::string>& paths) {
  queue_.probeInTurn(paths, [this](const std::string& path) { probeChosenFile(path); });
}

void Form1::probeChosenFile(const std::string& path) {
  OnErrorResumeNext resumeNext(ctx_);
  // As if chosen in the dialog: the next dialog opens in this file's folder.
  CMDialog1->FileName = path;
  const double length = GetSondur(ctx_, path);
  static_cast<void>(length);
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
  const QString host = url.host();
  if (!host.isEmpty() && host != QStringLiteral("localhost")) {
    return QFile::encodeName(url.toLocalFile()).toStdString();
  }
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
