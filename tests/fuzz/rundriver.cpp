// Runs a fuzz target over files given on the command line, or over every file in folders
// given there, so that its seeds and past findings are checked by the ordinary test run.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    int count = 0;
    for (int index = 1; index < argc; ++index) {
        const QString argument = QFile::decodeName(argv[index]);
        QStringList paths{argument};
        if (QFileInfo(argument).isDir()) {
            paths.clear();
            for (QDirIterator it(argument, QDir::Files); it.hasNext();)
                paths.append(it.next());
        }
        for (const QString &path : paths) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 2;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
            ++count;
        }
    }
    std::printf("%d inputs passed\n", count);
    return 0;
}
