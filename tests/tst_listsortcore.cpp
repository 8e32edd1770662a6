#include "budget.h"
#include "listfile.h"
#include "memory.h"
#include "runs/rangedmerge.h"
#include "runs/runstore.h"
#include "sorteditemlist.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <optional>

class TestListsortCore : public QObject
{
    Q_OBJECT

private slots:
    void memoryBudgetNamed_data();
    void memoryBudgetNamed();
    void budgetSharesFitIt_data();
    void budgetSharesFitIt();
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

void TestListsortCore::budgetSharesFitIt_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("mergeThreads");
    // What the floors of the shares may take past a budget too small for them: a read of
    // 64K, 16K of each of 33 runs on each thread, 64K of each range, one for each thread and
    // three more. Budgets from about 4M a thread on hold them.
    QTest::addColumn<qint64>("floors");

    constexpr qint64 oneThreadFloors = (64 + 33 * 16 + 4 * 64) << 10;
    constexpr qint64 twoThreadFloors = (64 + 2 * 33 * 16 + 5 * 64) << 10;
    constexpr qint64 eightThreadFloors = (64 + 8 * 33 * 16 + 11 * 64) << 10;
    QTest::newRow("1 byte") << qint64(1) << 1 << oneThreadFloors;
    QTest::newRow("1K, two threads") << qint64(1 << 10) << 2 << twoThreadFloors;
    QTest::newRow("1M, one thread") << qint64(1 << 20) << 1 << oneThreadFloors;
    QTest::newRow("1M, eight threads") << qint64(1 << 20) << 8 << eightThreadFloors;
    QTest::newRow("8M, one thread") << qint64(8 << 20) << 1 << qint64(0);
    QTest::newRow("64M, eight threads") << qint64(64 << 20) << 8 << qint64(0);
    QTest::newRow("100M, two threads") << qint64(100 << 20) << 2 << qint64(0);
    QTest::newRow("16G, eight threads") << (qint64(16) << 30) << 8 << qint64(0);
    QTest::newRow("1T, one thread") << (qint64(1) << 40) << 1 << qint64(0);
}

// Reading takes its shares at once, and a merge takes its own beside the items read last:
// together they fit the budget.
void TestListsortCore::budgetSharesFitIt()
{
    QFETCH(qint64, budget);
    QFETCH(int, mergeThreads);
    QFETCH(qint64, floors);

    const BudgetPlan plan = budgetPlan(budget, mergeThreads);
    QVERIFY(plan.itemBytesBesideCopy >= 0);
    const qint64 reading =
        std::max(plan.readBytes + plan.itemBytes,
                 plan.readBytes + plan.inputCopyBytes + plan.itemBytesBesideCopy);
    const qint64 merging = plan.merge.readSize * qint64(RunStore::mergeWidth + 1) * mergeThreads +
                           plan.merge.rangeBytes * (mergeThreads + 3);
    QVERIFY2(reading + merging <= budget + floors,
             qPrintable(u"%1 + %2 bytes"_qs.arg(reading).arg(merging)));
}

void TestListsortCore::runsGiveTheListsBytes_data()
{
    QTest::addColumn<ListForm>("form");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("itemsPerRun");
    QTest::addColumn<qint64>("budget");
    // Many small runs, merged a level at a time, each merge on one thread.
    QTest::newRow("in order") << ListForm{} << 40 << 500 << qint64(256 << 10);
    QTest::newRow("reversed") << ListForm{true, false} << 40 << 500 << qint64(256 << 10);
    QTest::newRow("unique") << ListForm{false, true} << 40 << 500 << qint64(256 << 10);
    QTest::newRow("reversed and unique") << ListForm{true, true} << 40 << 500 << qint64(256 << 10);
    // A few large runs, radix sorted, and merged in ranges of keys on all cores.
    QTest::newRow("in ranges") << ListForm{} << 3 << 70'000 << qint64(8 << 20);
    QTest::newRow("in ranges, reversed and unique")
        << ListForm{true, true} << 3 << 70'000 << qint64(8 << 20);
}

// Runs in files, merged a level at a time and at the end, write what the list in memory writes.
void TestListsortCore::runsGiveTheListsBytes()
{
    QFETCH(ListForm, form);
    QFETCH(int, runs);
    QFETCH(int, itemsPerRun);
    QFETCH(qint64, budget);

    QTemporaryDir folder;
    const Collation collation;
    RunStore store(folder.path(), form.reversed, budgetPlan(budget, mergeThreadCount()).merge);
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
