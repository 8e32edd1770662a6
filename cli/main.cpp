// listsort: sorts list files from the command line, as the window does.

#include "commandline.h"
#include "platform.h"
#include "version.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    platform::holdClosedStandardHandles();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("listsort"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppVersion::display));
    // File names reach the system with the very bytes they were given as.
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(platform::fileNameFromNative(argv[index]));
    return runCommandLine(arguments);
}
