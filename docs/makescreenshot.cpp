// Renders the window with a few items to a PNG for the README, in the language of the
// environment, as the program shows it.
// Usage: QT_QPA_PLATFORM=offscreen makescreenshot OUTPUT.png

#include "qtprompts.h"
#include "sortedlistbox.h"
#include "sorter.h"
#include "windowtranslations.h"

#include <QApplication>
#include <QLocale>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: makescreenshot OUTPUT.png\n", stderr);
        return 2;
    }
    installWindowTranslations(QLocale::system());
    QtPrompts prompts;
    Sorter sorter(prompts, prompts);
    for (const char *item :
         {"pear", "apple", "Banana", "fig", "item10", "item2", "résumé", "cherry", "Smith, John"})
        sorter.List1->AddItem(QString::fromUtf8(item));
    sorter.setWindowTitle(sorter.FormTitle + QStringLiteral(" /home/me/groceries.lst"));
    sorter.show();
    QApplication::processEvents();
    return sorter.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 2;
}
