// Writes the manager's picture into an icon theme folder:
// DIR/NxN/apps/tarvo-hotsync-manager.png for each size the theme wants.
#include <QDir>
#include <QImage>
#include <cstdio>

#include "desktop/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tarvo-desktop-icons DIR\n", stderr);
    return 2;
  }
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    const QString file = folder + QStringLiteral("/tarvo-hotsync-manager.png");
    if (!QDir().mkpath(folder) || !tarvo::desktop::drawAppIcon(size).save(file)) {
      std::fprintf(stderr, "tarvo-desktop-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
