#include "order/collationlocale.h"
#include "qtprompts.h"
#include "qttranslations.h"
#include "sorter.h"
#include "version.h"
#include "windowtranslations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("file-sorter"));
    QApplication::setApplicationVersion(QString::fromLatin1(AppVersion::display));
    QApplication::setDesktopFileName(QStringLiteral("io.github.zarno.FileSorter"));
    installQtTranslations(QLocale::system());
    installWindowTranslations(QLocale::system());

    // --help and --version answer on the terminal; a file whose name starts with "-" follows
    // "--", as with other programs.
    QCommandLineParser arguments;
    arguments.setApplicationDescription(
        QStringLiteral("Keeps the items of list files in alphabetical order in a window."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(
        QStringLiteral("FILE"), QStringLiteral("A list file to load; several load into one list."),
        QStringLiteral("[FILE...]"));
    arguments.process(app);

    // Closing the window ends the program at once: nothing is asked and nothing is saved.
    QtPrompts prompts;
    // The order follows the environment's collation locale as it is at start.
    Sorter sorter(prompts, prompts, Collation(collationLocaleFromEnvironment().name));
    sorter.show();
    // Files given to the program, as a file manager's Open With gives them, load as Load list
    // loads a chosen file.
    sorter.loadFiles(arguments.positionalArguments());
    return app.exec();
}
