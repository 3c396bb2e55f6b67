#include <QApplication>
#include <QIcon>

#include "ui/form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The name only: a display name would be appended to every window title.
  QApplication::setApplicationName(QStringLiteral("Pelorin"));
  QApplication::setApplicationVersion(QStringLiteral("1.00"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelorin.ico")));

  pelorin::Form1 form;
  form.show();
  return app.exec();
}
