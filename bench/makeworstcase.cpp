// Writes a list made for the worst case of a collating sort: items that share a long run of
// combining marks, of vowel signs that decompose, or of digits, and differ after it, or one
// item of megabytes. Each item ends with its number, the numbers in a shuffled order.
// Usage: makeworstcase --list            names the shapes, with what each holds
//        makeworstcase SHAPE OUTPUT

#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <vector>

namespace
{
struct Shape {
    QString name;
    QString description;
    int count;
    // The item with the given number.
    std::function<QString(int)> item;
};

QString repeated(const QString &piece, int times)
{
    return piece.repeated(times);
}

QString character(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

// The number in the digits that start at zero.
QString inDigits(int number, char32_t zero)
{
    QString text;
    for (const QChar digit : QString::number(number))
        text += character(zero + char32_t(digit.unicode() - u'0'));
    return text;
}

// The vowel signs of Tibetan and of the Indic scripts that decompose, which ICU takes apart
// before collating them.
std::vector<char32_t> decomposingVowelSigns()
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *decomposition = unorm2_getNFDInstance(&status);
    std::vector<char32_t> signs;
    for (char32_t c = 0; c < 0x110000; ++c) {
        const auto type = UCharCategory(u_charType(UChar32(c)));
        UChar parts[8];
        if ((type != U_NON_SPACING_MARK && type != U_COMBINING_SPACING_MARK) ||
            unorm2_getRawDecomposition(decomposition, UChar32(c), parts, 8, &status) < 2)
            continue;
        status = U_ZERO_ERROR;
        if (uscript_getScript(UChar32(c), &status) != USCRIPT_INHERITED)
            signs.push_back(c);
    }
    return signs;
}

// The zero of each script's decimal digits.
std::vector<char32_t> digitZeros()
{
    std::vector<char32_t> zeros;
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER && u_charDigitValue(UChar32(c)) == 0)
            zeros.push_back(c);
    }
    return zeros;
}

std::vector<Shape> shapes()
{
    const QString aa = character(0x0F71);
    const QString i = character(0x0F72);
    const auto number = [](int n) { return QString::number(n); };
    std::vector<Shape> all = {
        {u"after-u0f72"_qs, u"100 items: U+0F72, then 2,000 x U+0F71, then a number"_qs, 100,
         [=](int n) { return i + repeated(aa, 2'000) + number(n); }},
        {u"after-a"_qs, u"10 items: a, then 16,000 x U+0F71, then a number"_qs, 10,
         [=](int n) { return u"a"_qs + repeated(aa, 16'000) + number(n); }},
        {u"after-primes"_qs,
         u"20 items: U+02B9 U+02B9 1, then 16,000 x U+0F71, then a number and q"_qs, 20,
         [=](int n) { return u"\u02b9\u02b91"_qs + repeated(aa, 16'000) + number(n) + u'q'; }},
        {u"long-after-u0f72"_qs, u"10 items: U+0F72, then 16,000 x U+0F71, then a number"_qs, 10,
         [=](int n) { return i + repeated(aa, 16'000) + number(n); }},
        {u"u0f73"_qs, u"40 items: 3,000 x U+0F73, then a number"_qs, 40,
         [=](int n) { return repeated(character(0x0F73), 3'000) + number(n); }},
        {u"one-huge-item"_qs, u"one item: U+0F72, then 2,000,000 x U+0F71"_qs, 1,
         [=](int) { return i + repeated(aa, 2'000'000); }},
        {u"digit-runs"_qs, u"200 items: 50,000 x 1, then a number (numeric order)"_qs, 200,
         [=](int n) { return repeated(u"1"_qs, 50'000) + number(n); }},
        {u"marks-first"_qs, u"20 items: 16,000 x U+0F71, then a and a number"_qs, 20,
         [=](int n) { return repeated(aa, 16'000) + u'a' + number(n); }},
        {u"marks-last"_qs, u"20 items: a number, then a, then 16,000 x U+0F71"_qs, 20,
         [=](int n) { return number(n) + u'a' + repeated(aa, 16'000); }},
        {u"marks-between"_qs, u"20 items: a, 8,000 x U+0F71, b, 8,000 x U+0F71, then a number"_qs,
         20,
         [=](int n) {
             return u"a"_qs + repeated(aa, 8'000) + u'b' + repeated(aa, 8'000) + number(n);
         }},
        {u"marks-out-of-order"_qs,
         u"20 items: a, then 8,000 x U+0301 U+0316 (out of canonical order), then a number"_qs, 20,
         [=](int n) { return u"a"_qs + repeated(u"\u0301\u0316"_qs, 8'000) + number(n); }},
        {u"marks-of-every-class"_qs,
         u"20 items: a, then 2,000 x nine marks from class 230 down to 1, then a number"_qs, 20,
         [=](int n) {
             return u"a"_qs +
                    repeated(u"\u0301\u0316\u031b\u0327\u0f72\u0f71\u094d\u093c\u0334"_qs, 2'000) +
                    number(n);
         }},
        {u"two-huge-items"_qs, u"2 items: U+0F72, then 1,000,000 x U+0F71, then a number"_qs, 2,
         [=](int n) { return i + repeated(aa, 1'000'000) + number(n); }},
        {u"shared-prefix"_qs, u"200 items: the same 100,000 letters, then a number"_qs, 200,
         [=](int n) { return repeated(u"abcdefghij"_qs, 10'000) + number(n); }},
        {u"hangul-jamo"_qs, u"20 items: 16,000 conjoining jamo, then a number"_qs, 20,
         [=](int n) { return repeated(u"\u1100\u1161\u11a8"_qs, 5'333) + number(n); }},
        {u"thai-prevowels"_qs, u"20 items: 8,000 x U+0E40 U+0E01, then a number"_qs, 20,
         [=](int n) { return repeated(u"\u0e40\u0e01"_qs, 8'000) + number(n); }},
    };
    for (const char32_t sign : decomposingVowelSigns()) {
        const QString code = QString::number(uint(sign), 16).toUpper().rightJustified(4, u'0');
        all.push_back({u"vowel-u"_qs + code.toLower(),
                       u"10 items: 16,000 x U+"_qs + code + u", then a number"_qs, 10,
                       [=](int n) { return repeated(character(sign), 16'000) + number(n); }});
    }
    for (const char32_t zero : digitZeros()) {
        UErrorCode status = U_ZERO_ERROR;
        const QString script =
            QString::fromLatin1(uscript_getShortName(uscript_getScript(UChar32(zero), &status)))
                .toLower();
        const QString code = QString::number(uint(zero), 16).toUpper().rightJustified(4, u'0');
        all.push_back(
            {u"digits-u"_qs + code.toLower() + u'-' + script,
             u"20 items: 20,000 x the digit one of U+"_qs + code +
                 u", then a number in the same digits"_qs,
             20, [=](int n) { return repeated(character(zero + 1), 20'000) + inDigits(n, zero); }});
    }
    return all;
}
} // namespace

int main(int argc, char *argv[])
{
    const std::vector<Shape> all = shapes();
    if (argc == 2 && QByteArrayView(argv[1]) == "--list") {
        for (const Shape &shape : all)
            std::printf("%s\t%s\n", qPrintable(shape.name), qPrintable(shape.description));
        return 0;
    }
    const auto shape = std::find_if(all.begin(), all.end(), [&](const Shape &candidate) {
        return argc == 3 && candidate.name == QLatin1StringView(argv[1]);
    });
    if (shape == all.end()) {
        std::fputs("usage: makeworstcase --list | makeworstcase SHAPE OUTPUT\n", stderr);
        return 2;
    }
    QFile output(QString::fromLocal8Bit(argv[2]));
    if (!output.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "makeworstcase: %s\n", qPrintable(output.errorString()));
        return 2;
    }
    std::vector<int> numbers(size_t(shape->count));
    std::iota(numbers.begin(), numbers.end(), 0);
    QRandomGenerator random(20261208);
    std::shuffle(numbers.begin(), numbers.end(), random);
    for (const int number : numbers) {
        if (output.write(shape->item(number).toUtf8() + '\n') < 0) {
            std::fprintf(stderr, "makeworstcase: %s\n", qPrintable(output.errorString()));
            return 2;
        }
    }
    return 0;
}
