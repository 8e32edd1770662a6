#include "windowtranslations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

bool installWindowTranslations(const QLocale &locale)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("file-sorter"), QStringLiteral("_"),
                         QStringLiteral(":/i18n")) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
