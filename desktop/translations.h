// The windows' and menus' languages: English as written, Portuguese from
// translations/, chosen by the locale.
#pragma once

#include <QLocale>
#include <QString>

namespace tarvo::desktop {

// Where the installed (or built) .qm files are: share/tarvo-sync/translations
// beside this program's bin/.
QString translationsFolder();

// Installs the translation for `locale` into the application; false when
// there is none (English then).
bool useTranslation(const QLocale& locale);

}  // namespace tarvo::desktop
