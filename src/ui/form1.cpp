#include "ui/form1.h"

#include <QPushButton>

#include "probe/sondur.h"

namespace pelorin {

namespace {

constexpr std::int32_t kHideReadOnly = 4;

}  // namespace

Form1::Form1(std::unique_ptr<CommonDialog> dialog)
    : cmdClickMe(new QPushButton(QStringLiteral("&Click Me!"), this)),
      CMDialog1(dialog ? std::move(dialog) : std::make_unique<QtCommonDialog>(this)),
      messageBoxes_(this),
      ctx_(messageBoxes_) {
  setWindowTitle(QStringLiteral("Wave file Info"));
  setFixedSize(kClientSize);
  cmdClickMe->setGeometry(kButtonBounds);
  // Enter runs the button as Space does, in a window that is not a dialog too.
  cmdClickMe->setAutoDefault(true);
  cmdClickMe->setFocus();
  connect(cmdClickMe, &QPushButton::clicked, this, &Form1::cmdClickMe_Click);
}

Form1::~Form1() = default;

void Form1::cmdClickMe_Click() {
  OnErrorResumeNext resumeNext(ctx_);
  CMDialog1->Flags = kHideReadOnly;
  CMDialog1->CancelError = true;
  CMDialog1->Filter = kWaveFilter;
  CMDialog1->ShowOpen(ctx_);
  if (ctx_.Err.Number == static_cast<std::int32_t>(ErrorNumber::kCancelSelected)) return;
  const double length = GetSondur(ctx_, CMDialog1->FileName);
  static_cast<void>(length);
}

}  // namespace pelorin
