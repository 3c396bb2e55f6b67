#include "ui/common_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace pelorin {

QString dialogPattern(const QString& pattern) {
  if (pattern == QLatin1String("*.*")) return QStringLiteral("*");
  QString result;
  for (const QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    } else {
      result += c;
    }
  }
  return result;
}

QStringList nameFiltersFor(const std::string& filterText) {
  const QStringList parts = QString::fromStdString(filterText).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      patterns << dialogPattern(pattern.trimmed());
    }
    filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

bool QtCommonDialog::ShowOpen(RuntimeContext& ctx) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Any name, existing or not: a typed name of a missing file goes to the probe, whose
  // open-failure box says what is wrong with it. In open mode Qt asks nothing about it.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The program writes nothing: the dialog offers no new folder, renaming or deleting either.
  dialog.setOption(QFileDialog::ReadOnly);
  dialog.setNameFilters(nameFiltersFor(Filter));
  if (FileName.empty()) {
    dialog.setDirectory(QDir::currentPath());
  } else {
    const QFileInfo previous(QFile::decodeName(FileName.c_str()));
    dialog.setDirectory(previous.absolutePath());
    dialog.selectFile(previous.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    if (CancelError) ctx.raise(ErrorNumber::kCancelSelected);
    return false;
  }
  FileName = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
  return true;
}

}  // namespace pelorin
