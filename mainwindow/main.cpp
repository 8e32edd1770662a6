#include "order/collationlocale.h"
#include "qtprompts.h"
#include "qttranslations.h"
#include "sorter.h"
#include "version.h"
#include "windowtranslations.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("file-sorter"));
    QApplication::setApplicationVersion(QString::fromLatin1(AppVersion::display));
    QApplication::setDesktopFileName(QStringLiteral("io.github.zarno.FileSorter"));
    installQtTranslations(QLocale::system());
    installWindowTranslations(QLocale::system());

    // Closing the window ends the program at once: nothing is asked and nothing is saved.
    QtPrompts prompts;
    // The order follows the environment's collation locale as it is at start.
    Sorter sorter(prompts, prompts, Collation(collationLocaleFromEnvironment().name));
    sorter.show();
    // Files given to the program, as a file manager's Open With gives them, load as Load list
    // loads a chosen file.
    sorter.loadFiles(QApplication::arguments().mid(1));
    return app.exec();
}
