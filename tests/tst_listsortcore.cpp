#include "budget.h"
#include "listfile.h"
#include "memory.h"
#include "runstore.h"
#include "sorteditemlist.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class TestListsortCore : public QObject
{
    Q_OBJECT

private slots:
    void memoryBudgetNamed_data();
    void memoryBudgetNamed();
    void runsGiveTheListsBytes_data();
    void runsGiveTheListsBytes();
};

Q_DECLARE_METATYPE(ListForm)

void TestListsortCore::memoryBudgetNamed_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<qint64>("bytes"); // -1: refused

    QTest::newRow("kibibytes without a unit") << u"10"_qs << qint64(10 << 10);
    QTest::newRow("bytes") << u"1b"_qs << qint64(1);
    QTest::newRow("K") << u"3K"_qs << qint64(3 << 10);
    QTest::newRow("M, any case") << u"500m"_qs << qint64(500) * (1 << 20);
    QTest::newRow("G") << u"2G"_qs << (qint64(2) << 30);
    QTest::newRow("T") << u"1T"_qs << (qint64(1) << 40);
    QTest::newRow("a fraction") << u"1.5K"_qs << qint64(1536);
    QTest::newRow("a fraction without its digits") << u"2.M"_qs << (qint64(2) << 20);
    QTest::newRow("% of physical memory") << u"50%"_qs << physicalMemory() / 2;
    QTest::newRow("no bytes at all") << u"0"_qs << qint64(-1);
    QTest::newRow("less than a byte") << u"0.5b"_qs << qint64(-1);
    QTest::newRow("more than all memory") << u"101%"_qs << qint64(-1);
    QTest::newRow("negative") << u"-1"_qs << qint64(-1);
    QTest::newRow("two units") << u"1KB"_qs << qint64(-1);
    QTest::newRow("a word") << u"lots"_qs << qint64(-1);
    QTest::newRow("empty") << u""_qs << qint64(-1);
    QTest::newRow("past what a number holds") << u"99999999T"_qs << qint64(-1);
}

void TestListsortCore::memoryBudgetNamed()
{
    QFETCH(QString, size);
    QFETCH(qint64, bytes);

    const std::optional<qint64> budget = ::memoryBudgetNamed(size);
    QCOMPARE(budget.value_or(-1), bytes);
}

void TestListsortCore::runsGiveTheListsBytes_data()
{
    QTest::addColumn<ListForm>("form");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("itemsPerRun");
    QTest::addColumn<qint64>("readMemory");
    // Many small runs, merged a level at a time, each merge on one thread.
    QTest::newRow("in order") << ListForm{} << 40 << 500 << qint64(64 << 10);
    QTest::newRow("reversed") << ListForm{true, false} << 40 << 500 << qint64(64 << 10);
    QTest::newRow("unique") << ListForm{false, true} << 40 << 500 << qint64(64 << 10);
    QTest::newRow("reversed and unique") << ListForm{true, true} << 40 << 500 << qint64(64 << 10);
    // A few large runs, radix sorted, and merged in ranges of keys on all cores.
    QTest::newRow("in ranges") << ListForm{} << 3 << 70'000 << qint64(2 << 20);
    QTest::newRow("in ranges, reversed and unique")
        << ListForm{true, true} << 3 << 70'000 << qint64(2 << 20);
}

// Runs in files, merged a level at a time and at the end, write what the list in memory writes.
void TestListsortCore::runsGiveTheListsBytes()
{
    QFETCH(ListForm, form);
    QFETCH(int, runs);
    QFETCH(int, itemsPerRun);
    QFETCH(qint64, readMemory);

    QTemporaryDir folder;
    const Collation collation;
    RunStore store(folder.path(), form.reversed, readMemory);
    SortedItemList list(collation);
    QRandomGenerator random(7);
    static const QString letters = u"abAB é"_qs;
    ItemBatch batch; // reused from run to run, as listsort does
    for (int run = 0; run < runs; ++run) {
        for (int item = 0; item < itemsPerRun; ++item) {
            QString text;
            for (int length = random.bounded(1, 6); length > 0; --length)
                text += letters[random.bounded(int(letters.size()))];
            batch.append(text);
            list.insert(text);
        }
        if (run < runs - 1)
            QVERIFY2(store.add(batch, collation, 0), qPrintable(store.errorString()));
        else
            QVERIFY2(store.prepare(std::move(batch), collation), qPrintable(store.errorString()));
    }
    const auto written = [](ItemStream items) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (!writeListItems(buffer, std::move(items), TextEncoding::Utf8, error))
            qFatal("%s", qPrintable(error));
        return buffer.data();
    };
    const QByteArray fromRuns = written(inForm(store.merge(), form));
    QVERIFY(fromRuns == written(list.stream(form)));
    QVERIFY(fromRuns.size() > (form.unique ? 50 : runs * itemsPerRun));
}

QTEST_GUILESS_MAIN(TestListsortCore)
#include "tst_listsortcore.moc"
