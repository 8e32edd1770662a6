// Checks the root order against Unicode's conformance test for it, the file
// CollationTest_CLDR_NON_IGNORABLE_SHORT.txt (CollationTest_NON_IGNORABLE_SHORT.txt in ICU's
// sources), whose lines are strings in ascending order. Prints how many adjacent pairs of the
// strings that a list file keeps unchanged and that hold no digit (numeric ordering orders
// digits otherwise) the collation puts the other way round, beyond ties at the third level,
// which it settles by code units. Usage: ucaconformance FILE

#include "order/collation.h"
#include "storage/arena.h"

#include <QFile>
#include <QStringList>

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: ucaconformance FILE\n", stderr);
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "ucaconformance: %s\n", qPrintable(file.errorString()));
        return 2;
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCollator, decltype(&ucol_close)> tertiary(ucol_open("root", &status),
                                                                     ucol_close);
    ucol_setAttribute(tertiary.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    const Collation collation;
    Arena arena;
    const Item *before = nullptr;
    QString textBefore;
    qsizetype strings = 0;
    qsizetype reversed = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QString text;
        bool digit = false;
        for (const QByteArray &unit : line.split(' ')) {
            const char32_t c = char32_t(unit.toUInt(nullptr, 16));
            text += QString::fromUcs4(&c, 1);
            digit |= u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER;
        }
        // What a list file changes: line ends, blanks at either end; and digits.
        const bool kept =
            !digit && !text.contains(u'\r') && !text.contains(u'\n') && text == text.trimmed();
        if (!kept) {
            before = nullptr;
            continue;
        }
        ++strings;
        const Item *item = Item::create(arena, text);
        if (before && collation.less(collation.entryFor(item), collation.entryFor(before)) &&
            ucol_strcoll(tertiary.get(), reinterpret_cast<const UChar *>(textBefore.utf16()),
                         int32_t(textBefore.size()), reinterpret_cast<const UChar *>(text.utf16()),
                         int32_t(text.size())) == UCOL_LESS) {
            ++reversed;
            if (reversed <= 5)
                std::printf("reversed: %s | %s\n", qPrintable(textBefore), qPrintable(text));
        }
        before = item;
        textBefore = text;
    }
    std::printf("%lld strings kept, %lld adjacent pairs reversed\n",
                static_cast<long long>(strings), static_cast<long long>(reversed));
    return reversed == 0 ? 0 : 1;
}
