#include "check.h"

#include "comparingdevice.h"
#include "memory.h"

#include <QBuffer>
#include <QFile>

#include <cstdio>
#include <memory>
#include <new>

int check(const QString &path, const Request &request)
{
    // Standard input is read once, so the comparison works on a copy of it.
    QByteArray input;
    std::unique_ptr<QIODevice> original;
    std::unique_ptr<QIODevice> source;
    if (path == standardStream) {
        QFile standardInput;
        if (!standardInput.open(stdin, QIODevice::ReadOnly))
            return complain("read", path, standardInput.errorString());
        try {
            input = standardInput.readAll();
        } catch (const std::bad_alloc &) {
            return complain("read", path, notEnoughMemory());
        }
        original = std::make_unique<QBuffer>(&input);
        source = std::make_unique<QBuffer>(&input);
    } else {
        original = std::make_unique<QFile>(path);
        source = std::make_unique<QFile>(path);
    }
    for (QIODevice *device : {original.get(), source.get()}) {
        if (!device->open(QIODevice::ReadOnly))
            return complain("read", path, device->errorString());
    }

    ListFileReader reader;
    ItemBatch items;
    if (!reader.open(std::move(source)) || !reader.readAll(items))
        return complain("read", path, reader.errorString());
    SortedItemList list{Collation(request.locale)};
    try {
        list.insert(std::move(items));
    } catch (const std::bad_alloc &) {
        return complain("read", path, notEnoughMemory());
    }
    QString reason;
    const auto encoding = encodingToWrite(list, request, *reader.encoding(), reason);
    if (!encoding)
        return complain("write", path, reason);
    ComparingDevice comparison(*original, *reader.encoding());
    if (!writeListItems(comparison, list, *encoding, reason, request.form))
        return complain("read", path, reason);
    if (comparison.finish())
        return 0;
    const ComparingDevice::Line line = comparison.differingLine();
    std::fprintf(stderr, "listsort: %s:%lld: saving would change this line: %s\n", qPrintable(path),
                 static_cast<long long>(line.number), qPrintable(line.text));
    return unsorted;
}
