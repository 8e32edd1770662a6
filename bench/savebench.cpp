// Saves a list as the window's Save does, and prints "save_s check_s digest_s": the time of
// the save, the time Save then takes to see whether the file changed on disk (its status, and
// the digest of its bytes since its size and time agree), and the time of the digest taken of
// the bytes as they are written, which the save includes.
// Usage: savebench LIST OUTPUT

#include "currentfile.h"
#include "listfile.h"
#include "sorteditemlist.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: savebench LIST OUTPUT\n", stderr);
        return 2;
    }
    ItemBatch batch;
    QString error;
    if (!readListFile(QString::fromLocal8Bit(argv[1]), batch, error)) {
        std::fprintf(stderr, "savebench: %s\n", qPrintable(error));
        return 2;
    }
    SortedItemList list;
    list.insert(std::move(batch));

    const QString output = QString::fromLocal8Bit(argv[2]);
    CurrentFile file;
    file.chosenForSaving(output);
    QElapsedTimer clock;
    clock.start();
    if (QString message; !file.save(output, list, message)) {
        std::fprintf(stderr, "savebench: %s\n", qPrintable(message));
        return 2;
    }
    const qint64 saved = clock.nsecsElapsed();
    clock.start();
    if (!file.changeOnDisk(output).isEmpty())
        return 2;
    const qint64 checked = clock.nsecsElapsed();

    // The digest of the bytes written, taken again of them in memory.
    QFile written(output);
    if (!written.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray bytes = written.readAll();
    clock.start();
    ContentDigest digest;
    for (qsizetype from = 0; from < bytes.size(); from += 1 << 20)
        digest.add(
            QByteArrayView(bytes).sliced(from, std::min<qsizetype>(1 << 20, bytes.size() - from)));
    const qint64 digested = clock.nsecsElapsed();
    std::printf("%.3f %.3f %.3f %llx\n", double(saved) / 1e9, double(checked) / 1e9,
                double(digested) / 1e9, static_cast<unsigned long long>(digest.value()));
    return 0;
}
