#include "order/collation.h"
#include "order/collationlocale.h"
#include "storage/arena.h"
#include "testlocales.h"

#include <QRandomGenerator>
#include <QTest>

#include <unicode/ucol.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
using Icu = std::unique_ptr<UCollator, decltype(&ucol_close)>;

// ICU's collation of locale, with numeric ordering and normalization as Collation's.
Icu openIcu(const char *locale)
{
    UErrorCode status = U_ZERO_ERROR;
    Icu icu(ucol_open(locale, &status), ucol_close);
    ucol_setAttribute(icu.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(icu.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    if (U_FAILURE(status))
        qFatal("cannot open the collation of %s", locale);
    return icu;
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
    void localeFromTheEnvironment_data();
    void localeFromTheEnvironment();

private:
    // Checks text's weights and key prefix against ICU's, and returns ICU's sort key.
    QByteArray compareWithIcu(const Collation &collation, const UCollator *icu,
                              const QString &text);

    Arena m_arena;
};

QByteArray TestCollation::compareWithIcu(const Collation &collation, const UCollator *icu,
                                         const QString &text)
{
    const auto *units = reinterpret_cast<const UChar *>(text.utf16());
    QByteArray key(ucol_getSortKey(icu, units, int32_t(text.size()), nullptr, 0), '\0');
    ucol_getSortKey(icu, units, int32_t(text.size()), reinterpret_cast<uint8_t *>(key.data()),
                    int32_t(key.size()));
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

    const Collation collation(locale);
    const Icu icu = openIcu(locale.constData());
    // Characters that take the quick way and characters that do not, side by side, with
    // the letters and letter groups that languages order in their own ways.
    const QStringList pieces =
        u"a b Z - _ \t \u0001 é Å ß æ Ω ж Ж α ά 1 2 0 9 00 ŉ ½ ¹ \u00ad ё ъ א ع ٢ ı ł ő ǅ ȿ Ĳ ƕ "
        u"ʼ ΅ Ѐ ӕ Ա ש ۺ l L · \u0387 И \u0306 \u0301 € 日 ﬀ å ä ö ø aa Aa c h ch Ch cs d dz dzs "
        u"g gy s sz z zs n ny ll ñ ś ż ą č ř š ž ů ű ğ ş İ ç ă â î ț ș õ ü y ij đ ā ė į ų ŵ ơ ư "
        u"ạ ё й ї є ґ ς あ ア ー 가 中"_qs.split(u' ');
    QRandomGenerator random(20261208);
    QString before;
    QByteArray keyBefore;
    for (int round = 0; round < 3'000; ++round) {
        QString text;
        for (int length = random.bounded(40); length > 0; --length)
            text += pieces[random.bounded(int(pieces.size()))];
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
