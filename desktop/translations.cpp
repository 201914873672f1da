#include "desktop/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarvo::desktop {

QString translationsFolder() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tarvo-sync/translations");
}

bool useTranslation(const QLocale& locale) {
  // Owned by the application from here on, as long as it runs.
  auto* own = new QTranslator(QCoreApplication::instance());
  if (!own->load(locale, QStringLiteral("tarvo-hotsync-manager"), QStringLiteral("_"), translationsFolder())) {
    delete own;
    return false;
  }
  QCoreApplication::installTranslator(own);
  // Qt's own texts (standard buttons) where the system has them.
  auto* qt = new QTranslator(QCoreApplication::instance());
  if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(qt);
  else
    delete qt;
  return true;
}

}  // namespace tarvo::desktop
