#include "order/collation.h"
#include "storage/arena.h"

#include <QRandomGenerator>
#include <QTest>

#include <unicode/ucol.h>

#include <vector>

// The primary weights that Collation works out itself for common characters must be ICU's,
// byte for byte, or lists would sort differently from ICU's order.
class TestCollation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { ucol_close(m_icu); }
    void primaryWeightsAreIcus_data();
    void primaryWeightsAreIcus();
    void primaryWeightsOfRandomTextAreIcus();

private:
    QByteArray icuPrimaryWeights(const QString &text) const;
    void compareWithIcu(const QString &text);

    UCollator *m_icu = nullptr;
    Collation m_collation;
    Arena m_arena;
};

void TestCollation::initTestCase()
{
    UErrorCode status = U_ZERO_ERROR;
    m_icu = ucol_open("", &status);
    ucol_setAttribute(m_icu, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    QVERIFY(U_SUCCESS(status));
}

QByteArray TestCollation::icuPrimaryWeights(const QString &text) const
{
    const auto *units = reinterpret_cast<const UChar *>(text.utf16());
    QByteArray key(ucol_getSortKey(m_icu, units, int32_t(text.size()), nullptr, 0), '\0');
    ucol_getSortKey(m_icu, units, int32_t(text.size()), reinterpret_cast<uint8_t *>(key.data()),
                    int32_t(key.size()));
    return key.first(key.indexOf('\x01'));
}

void TestCollation::compareWithIcu(const QString &text)
{
    const Item &item = *Item::create(m_arena, text);
    const QByteArray expected = icuPrimaryWeights(text);
    std::vector<quint8> weights(size_t(expected.size()) + 8); // room to spare
    weights.resize(
        size_t(m_collation.writePrimaryWeights(item, weights.data(), qsizetype(weights.size()))));
    QVERIFY2(QByteArray(reinterpret_cast<const char *>(weights.data()),
                        qsizetype(weights.size())) == expected,
             qPrintable(u"weights of \"%1\""_qs.arg(text)));
    quint64 prefix = 0;
    for (int index = 0; index < 8; ++index)
        prefix = (prefix << 8) | (index < expected.size() ? quint8(expected[index]) : 0);
    QCOMPARE(m_collation.keyPrefix(item), prefix);
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
    compareWithIcu(text);
}

void TestCollation::primaryWeightsOfRandomTextAreIcus()
{
    // Characters that take the quick way and characters that do not, side by side.
    const QStringList pieces = u"a b Z - _ \t \u0001 é Å ß æ Ω ж Ж α ά 1 2 0 9 00 ŉ ½ ¹ \u00ad ё ъ "
                               u"א ع ٢ ı ł ő ǅ ȿ Ĳ ƕ ʼ ΅ Ѐ "
                               u"ӕ Ա ש ۺ l L · \u0387 И \u0306 \u0301 € 日 ﬀ"_qs.split(u' ');
    QRandomGenerator random(20261208);
    for (int round = 0; round < 20'000; ++round) {
        QString text;
        for (int length = random.bounded(14); length > 0; --length)
            text += pieces[random.bounded(int(pieces.size()))];
        compareWithIcu(text);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_APPLESS_MAIN(TestCollation)
#include "tst_collation.moc"
