#include "icureference.h"
#include "order/collation.h"
#include "order/collationlocale.h"
#include "sorteditemlist.h"
#include "storage/arena.h"
#include "testhelpers.h"
#include "testlocales.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
// count items of before, a run of mark, and after, with the items' numbers in a shuffled
// order at the place of %1 in after.
QStringList markedItems(int count, const QString &before, QChar mark, int run, const QString &after)
{
    QStringList items;
    for (int number = 0; number < count; ++number)
        items.append(before + QString(run, mark) +
                     (after.isEmpty() ? after : after.arg(number * 7 % count)));
    return items;
}
} // namespace

// The primary weights that Collation works out itself for common characters must be ICU's,
// byte for byte, in every language, or lists would sort differently from ICU's order.
class TestCollation : public QObject
{
    Q_OBJECT

private slots:
    void primaryWeightsAreIcus_data();
    void primaryWeightsAreIcus();
    void pairsAreInIcusOrder_data();
    void pairsAreInIcusOrder();
    void randomTextIsInIcusOrder_data();
    void randomTextIsInIcusOrder();
    void randomRunsOfMarksAreInIcusOrder_data();
    void randomRunsOfMarksAreInIcusOrder();
    void worstCasesAreInIcusOrder_data();
    void worstCasesAreInIcusOrder();
    void localeFromTheEnvironment_data();
    void localeFromTheEnvironment();

private:
    // Checks text's weights and key prefix against ICU's, and returns ICU's sort key.
    QByteArray compareWithIcu(const Collation &collation, const UCollator *icu,
                              const QString &text);
    // Checks count random texts of pieces, each piece repeated up to longestRun times, and
    // each text's order against the one before it.
    void checkRandomTexts(const QByteArray &locale, const QStringList &pieces, int longestRun,
                          int count);

    Arena m_arena;
};

QByteArray TestCollation::compareWithIcu(const Collation &collation, const UCollator *icu,
                                         const QString &text)
{
    const QByteArray key = icuKey(icu, text);
    const QByteArray expected = key.first(key.indexOf('\x01'));

    const Item &item = *Item::create(m_arena, text);
    std::vector<quint8> weights(size_t(expected.size()) + 8); // room to spare
    weights.resize(
        size_t(collation.writePrimaryWeights(item, weights.data(), qsizetype(weights.size()))));
    [&] {
        QVERIFY2(QByteArray(reinterpret_cast<const char *>(weights.data()),
                            qsizetype(weights.size())) == expected,
                 qPrintable(u"weights of \"%1\""_qs.arg(text)));
        quint64 prefix = 0;
        for (int index = 0; index < 8; ++index)
            prefix = (prefix << 8) | (index < expected.size() ? quint8(expected[index]) : 0);
        QCOMPARE(collation.keyPrefix(item), prefix);
        // Cut where the tie resolver and the comparisons cut: a contraction may straddle it.
        for (const qsizetype capacity : {3, 40, 64}) {
            std::vector<quint8> cut(static_cast<size_t>(capacity));
            cut.resize(size_t(collation.writePrimaryWeights(item, cut.data(), capacity)));
            QVERIFY2(
                QByteArray(reinterpret_cast<const char *>(cut.data()), qsizetype(cut.size())) ==
                    expected.first(std::min(capacity, expected.size())),
                qPrintable(u"weights of \"%1\" cut at %2"_qs.arg(text).arg(capacity)));
        }
    }();
    return key;
}

void TestCollation::primaryWeightsAreIcus_data()
{
    QTest::addColumn<QString>("text");

    // ICU writes numbers in two, three or four bytes, and longer ones in pairs of digits.
    for (const char *number : {"0", "0007", "73", "74", "10233", "10234", "1042489", "1042490",
                               "12345678", "99999999999999999999"})
        QTest::addRow("number %s", number) << u"x"_qs + QLatin1StringView(number) + u"y"_qs;
    QTest::newRow("compressed lead bytes, then a lower one") << u"жжa"_qs;
    QTest::newRow("compressed lead bytes, then a higher one") << u"ΩЖ"_qs;
    QTest::newRow("a contraction: l with middle dot") << u"al·l"_qs;
    QTest::newRow("a combining accent after the prefix") << u"abcdefghie\u0301"_qs;
    QTest::newRow("ignorable characters") << u"a\u0001\u00adb"_qs;
    QTest::newRow("an expansion") << u"straße"_qs;
    QTest::newRow("a lone surrogate") << u"a\xd800z"_qs;
}

void TestCollation::primaryWeightsAreIcus()
{
    QFETCH(QString, text);
    compareWithIcu(Collation(), openIcu("root").get(), text);
}

void TestCollation::pairsAreInIcusOrder_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("first"); // in the order of ICU's sort keys
    QTest::addColumn<QString>("second");

    // Tailored orders once took ICU's comparison for these, which differs from its keys.
    QTest::newRow("hr: a digit run with a digit of another script")
        << QByteArray("hr") << u"0ch"_qs << u"0߀CH"_qs;
    QTest::newRow("sv: the same") << QByteArray("sv") << u"0ch"_qs << u"0߀CH"_qs;
    // Marks out of the order ICU assumes were once ordered as they stood.
    QTest::newRow("root: marks that normalization reorders")
        << QByteArray("root") << u"̴̈"_qs << u"̴̈́"_qs;
}

void TestCollation::pairsAreInIcusOrder()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, first);
    QFETCH(QString, second);

    const Collation collation(locale);
    const Icu icu = openIcu(locale.constData());
    QVERIFY(compareWithIcu(collation, icu.get(), first) <
            compareWithIcu(collation, icu.get(), second));
    const Item &a = *Item::create(m_arena, first);
    const Item &b = *Item::create(m_arena, second);
    QVERIFY(collation.less(collation.entryFor(&a), collation.entryFor(&b)));
    QVERIFY(!collation.less(collation.entryFor(&b), collation.entryFor(&a)));
}

void TestCollation::randomTextIsInIcusOrder_data()
{
    QTest::addColumn<QByteArray>("locale");
    for (const char *locale : testLocales)
        QTest::newRow(locale) << QByteArray(locale);
}

void TestCollation::randomTextIsInIcusOrder()
{
    QFETCH(QByteArray, locale);

    // Characters that take the quick way and characters that do not, side by side, with
    // the letters and letter groups that languages order in their own ways.
    const QStringList pieces =
        u"a b Z - _ \t \u0001 é Å ß æ Ω ж Ж α ά 1 2 0 9 00 ŉ ½ ¹ \u00ad ё ъ א ع ٢ ı ł ő ǅ ȿ Ĳ ƕ "
        u"ʼ ΅ Ѐ ӕ Ա ש ۺ l L · \u0387 И \u0306 \u0301 € 日 ﬀ å ä ö ø aa Aa c h ch Ch cs d dz dzs "
        u"g gy s sz z zs n ny ll ñ ś ż ą č ř š ž ů ű ğ ş İ ç ă â î ț ș õ ü y ij đ ā ė į ų ŵ ơ ư "
        u"ạ ё й ї є ґ ς あ ア ー 가 中"_qs.split(u' ');
    checkRandomTexts(locale, pieces, 1, 3'000);
}

void TestCollation::randomRunsOfMarksAreInIcusOrder_data()
{
    randomTextIsInIcusOrder_data();
}

void TestCollation::randomRunsOfMarksAreInIcusOrder()
{
    QFETCH(QByteArray, locale);

    // Long runs of marks take the linear form: marks that start contractions with later
    // ones (Tibetan, Lithuanian dot above, Myanmar), marks that decompose or stand out of
    // canonical order, and the letters and Indic vowel signs that contractions start with.
    const QStringList pieces =
        u"a c h i o 1 \u0130 и ガ カ ー 가 \u0300 \u0301 \u0303 \u0306 \u0307 \u0308 \u0316 \u0323 "
        u"\u0327 \u0334 \u0340 \u0344 \u0345 \u05b0 \u05bc \u0915 \u093c \u094d \u0b47 \u0b48 "
        u"\u0b56 \u0bc6 \u0bca \u0bcd \u0dd9 \u0dda \u0e48 \u0f71 \u0f72 \u0f73 \u0f74 \u0f75 "
        u"\u0f7a \u0f7c \u0f80 \u0f81 \u0fb2 \u0fb3 \u1037 \u1038 \u1039 \u103a \u3099"_qs.split(
            u' ');
    checkRandomTexts(locale, pieces, 60, 400);
}

void TestCollation::checkRandomTexts(const QByteArray &locale, const QStringList &pieces,
                                     int longestRun, int count)
{
    const Collation collation(locale);
    const Icu icu = openIcu(locale.constData());
    QRandomGenerator random(20261208);
    QString before;
    QByteArray keyBefore;
    for (int round = 0; round < count; ++round) {
        QString text;
        for (int length = random.bounded(40); length > 0; --length) {
            const QString &piece = pieces[random.bounded(int(pieces.size()))];
            for (int run = random.bounded(4) == 0 ? random.bounded(longestRun) + 1 : 1; run > 0;
                 --run)
                text += piece;
        }
        const QByteArray key = compareWithIcu(collation, icu.get(), text);
        if (QTest::currentTestFailed())
            return;
        // ICU's order of sort keys, then code units.
        const int byKey = key.compare(keyBefore);
        const bool less = byKey != 0 ? byKey < 0 : text < before;
        const Item &item = *Item::create(m_arena, text);
        const Item &itemBefore = *Item::create(m_arena, before);
        QVERIFY2(collation.less(collation.entryFor(&item), collation.entryFor(&itemBefore)) == less,
                 qPrintable(u"\"%1\" against \"%2\""_qs.arg(text, before)));
        before = text;
        keyBefore = key;
    }
}

void TestCollation::worstCasesAreInIcusOrder_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QStringList>("items"); // in the order of a list file

    // Lists made for the worst case of ICU's collation, whose time grows with the square of
    // a run of combining marks, at a size that ICU, which the order is checked against,
    // handles in moments.
    const QByteArray root = "root";
    QTest::newRow("after U+0F72, a run of U+0F71, then a number")
        << root << markedItems(24, u"\u0f72"_qs, QChar(0x0f71), 300, u"%1"_qs);
    QTest::newRow("after a, a run of U+0F71, then a number")
        << root << markedItems(10, u"a"_qs, QChar(0x0f71), 600, u"%1"_qs);
    QTest::newRow("after U+02B9 U+02B9 1, a run of U+0F71, then a number and q")
        << root << markedItems(20, u"\u02b9\u02b91"_qs, QChar(0x0f71), 300, u"%1q"_qs);
    QTest::newRow("after U+0F72, a longer run of U+0F71, then a number")
        << root << markedItems(10, u"\u0f72"_qs, QChar(0x0f71), 600, u"%1"_qs);
    QTest::newRow("a run of U+0F73, which decomposes, then a number")
        << root << markedItems(12, QString(), QChar(0x0f73), 200, u"%1"_qs);
    QTest::newRow("one item: U+0F72, then a very long run of U+0F71")
        << root << markedItems(1, u"\u0f72"_qs, QChar(0x0f71), 100'000, QString());
    QTest::newRow("a long run of digits, then a number")
        << root << markedItems(20, QString(), u'1', 3'000, u"%1"_qs);
}

void TestCollation::worstCasesAreInIcusOrder()
{
    QFETCH(QByteArray, locale);
    QFETCH(QStringList, items);

    // ICU's order of sort keys, then code units; one item needs no order.
    QStringList expected = items;
    if (items.size() > 1) {
        const Icu icu = openIcu(locale.constData());
        std::vector<std::pair<QByteArray, QString>> keyed;
        for (const QString &item : items)
            keyed.emplace_back(icuKey(icu.get(), item), item);
        std::sort(keyed.begin(), keyed.end());
        for (size_t index = 0; index < keyed.size(); ++index)
            expected[qsizetype(index)] = keyed[index].second;
    }
    // Sorted as a batch, inserted one at a time, and merged from two batches.
    const Collation collation(locale);
    SortedItemList batched(collation);
    SortedItemList single(collation);
    SortedItemList merged(collation);
    ItemBatch all;
    ItemBatch halves[2];
    for (qsizetype index = 0; index < items.size(); ++index) {
        all.append(items[index]);
        halves[index % 2].append(items[index]);
        single.insert(items[index]);
    }
    batched.insert(std::move(all));
    merged.insert(std::move(halves[0]));
    merged.insert(std::move(halves[1]));
    QCOMPARE(textsOf(batched), expected);
    QCOMPARE(textsOf(single), expected);
    QCOMPARE(textsOf(merged), expected);
}

void TestCollation::localeFromTheEnvironment_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcCollate");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("source");

    QTest::newRow("none set") << QByteArray() << QByteArray() << QByteArray() << QByteArray("root")
                              << QByteArray();
    QTest::newRow("LANG") << QByteArray() << QByteArray() << QByteArray("sv_SE.UTF-8")
                          << QByteArray("sv_SE") << QByteArray("LANG");
    QTest::newRow("LC_COLLATE over LANG")
        << QByteArray() << QByteArray("sv_SE.UTF-8") << QByteArray("en_US.UTF-8")
        << QByteArray("sv_SE") << QByteArray("LC_COLLATE");
    QTest::newRow("LC_ALL over both")
        << QByteArray("de_DE@euro") << QByteArray("sv_SE.UTF-8") << QByteArray("sv_SE.UTF-8")
        << QByteArray("de_DE") << QByteArray("LC_ALL");
    QTest::newRow("empty is unset") << QByteArray("") << QByteArray("") << QByteArray("sr_RS@latin")
                                    << QByteArray("sr_Latn_RS") << QByteArray("LANG");
    QTest::newRow("C") << QByteArray("C") << QByteArray() << QByteArray("sv_SE.UTF-8")
                       << QByteArray("root") << QByteArray("LC_ALL");
    QTest::newRow("C.UTF-8") << QByteArray() << QByteArray("C.UTF-8") << QByteArray("sv_SE")
                             << QByteArray("root") << QByteArray("LC_COLLATE");
    QTest::newRow("POSIX") << QByteArray() << QByteArray() << QByteArray("POSIX")
                           << QByteArray("root") << QByteArray("LANG");
    QTest::newRow("a language in the root order")
        << QByteArray() << QByteArray() << QByteArray("en_US.UTF-8") << QByteArray("en_US")
        << QByteArray("LANG");
    QTest::newRow("no such locale") << QByteArray("xx_YY") << QByteArray() << QByteArray()
                                    << QByteArray("root") << QByteArray("LC_ALL");
}

void TestCollation::localeFromTheEnvironment()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcCollate);
    QFETCH(QByteArray, lang);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, source);

    const std::pair<const char *, QByteArray> settings[] = {
        {"LC_ALL", lcAll}, {"LC_COLLATE", lcCollate}, {"LANG", lang}};
    for (const auto &[variable, value] : settings) {
        if (value.isNull())
            qunsetenv(variable);
        else
            qputenv(variable, value);
    }
    const CollationLocale chosen = collationLocaleFromEnvironment();
    QCOMPARE(chosen.name, name);
    QCOMPARE(chosen.source, source);
}

QTEST_APPLESS_MAIN(TestCollation)
#include "tst_collation.moc"
