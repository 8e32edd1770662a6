#include "order/merging.h"
#include "sorteditemlist.h"
#include "testhelpers.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

class TestSortedItemList : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void orderDoesNotDependOnInsertionOrder_data() { order_data(); }
    void orderDoesNotDependOnInsertionOrder();
    void insertReturnsTheSortedPlace();
    void batchesMergeLikeSingleInserts();
    void mergedPositionsPredictTheMerge();
};

void TestSortedItemList::order_data()
{
    QTest::addColumn<QStringList>("sorted");

    QTest::newRow("empty item first") << QStringList{u""_qs, u" "_qs, u"a"_qs};
    QTest::newRow("case ignored at first") << QStringList{u"apple"_qs, u"Banana"_qs, u"cherry"_qs};
    QTest::newRow("accents ignored at first")
        << QStringList{u"resume"_qs, u"résumé"_qs, u"resumes"_qs};
    QTest::newRow("lower case before upper case")
        << QStringList{u"apple"_qs, u"Apple"_qs, u"APPLE"_qs};
    QTest::newRow("digit runs by value") << QStringList{u"item2"_qs, u"item10"_qs, u"item100"_qs};
    QTest::newRow("duplicates kept side by side")
        << QStringList{u"a"_qs, u"b"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("equal under collation, then by code units")
        << QStringList{u"e\u0301"_qs, u"\u00e9"_qs, u"f"_qs};
    QTest::newRow("punctuation and digits before letters")
        << QStringList{u"-dash"_qs, u"1st"_qs, u"alpha"_qs};
    // Items agree on the first eight bytes of their weights, the prefix kept inline.
    QTest::newRow("equal prefix, then case")
        << QStringList{u"abcdefghijk"_qs, u"Abcdefghijk"_qs, u"ABCDEFGHIJK"_qs};
    QTest::newRow("equal prefix, then accents")
        << QStringList{u"abcdefghijke"_qs, u"abcdefghijké"_qs, u"abcdefghijkf"_qs};
    QTest::newRow("equal prefix, then digit runs by value")
        << QStringList{u"abcdefghij 9"_qs, u"abcdefghij 10"_qs, u"abcdefghij 100"_qs};
    QTest::newRow("equal far beyond the prefix") << QStringList{
        QString(1100, u'x') + u'a', QString(1100, u'x') + u'b', QString(1100, u'x') + u'B'};
}

void TestSortedItemList::order()
{
    QFETCH(QStringList, sorted);

    SortedItemList list;
    for (auto item = sorted.crbegin(); item != sorted.crend(); ++item)
        list.insert(*item);
    QCOMPARE(textsOf(list), sorted);
}

void TestSortedItemList::orderDoesNotDependOnInsertionOrder()
{
    QFETCH(QStringList, sorted);

    QStringList shuffled = sorted;
    std::sort(shuffled.begin(), shuffled.end());
    do {
        SortedItemList single;
        ItemBatch batch;
        for (const QString &item : shuffled) {
            single.insert(item);
            batch.append(item);
        }
        SortedItemList batched;
        batched.insert(std::move(batch));
        QCOMPARE(textsOf(single), sorted);
        QCOMPARE(textsOf(batched), sorted);
    } while (std::next_permutation(shuffled.begin(), shuffled.end()));
}

void TestSortedItemList::insertReturnsTheSortedPlace()
{
    SortedItemList list;
    QCOMPARE(list.insert(u"m"), 0);
    QCOMPARE(list.insertionPoint(u"a"), 0);
    QCOMPARE(list.insert(u"a"), 0);
    QCOMPARE(list.insert(u"z"), 2);
    QCOMPARE(list.insertionPoint(u"m"), 2); // after the equal item
    QCOMPARE(list.insert(u""), 0);
    QCOMPARE(list.count(), 4);
}

namespace
{
// Short random texts, a third of them after a long shared stem, so that sorting has to look
// past the first sixteen bytes of their keys.
QString randomItem(QRandomGenerator &random)
{
    static const QString letters = u"aAbBcCéÉ01 ,\"-"_qs;
    QString item =
        random.bounded(3) == 0 ? u"a shared stem longer than a key chunk "_qs : QString();
    for (int length = random.bounded(6); length > 0; --length)
        item += letters[random.bounded(int(letters.size()))];
    return item;
}
} // namespace

void TestSortedItemList::batchesMergeLikeSingleInserts()
{
    // Large enough for the batch to be keyed and sorted on several threads.
    QRandomGenerator random(7);
    SortedItemList single;
    SortedItemList batched;
    for (const qsizetype size : {1, 5, 70'000, 1, 3'000}) {
        ItemBatch batch;
        for (qsizetype index = 0; index < size; ++index) {
            const QString item = randomItem(random);
            batch.append(item);
            single.insert(item);
        }
        batched.insert(std::move(batch));
    }
    QCOMPARE(batched.count(), single.count());
    QCOMPARE(textsOf(batched), textsOf(single));
}

void TestSortedItemList::mergedPositionsPredictTheMerge()
{
    QRandomGenerator random(11);
    SortedItemList list;
    for (int round = 0; round < 20; ++round) {
        list.insert(randomItem(random)); // added items sit between the base items
        ItemBatch batch;
        for (int index = random.bounded(30); index >= 0; --index)
            batch.append(randomItem(random));
        const auto addition = std::make_shared<const ItemRun>(batch.takeRun(list.collation()));
        const auto merged =
            std::make_shared<const ItemRun>(mergeRuns(*list.base(), *addition, list.collation()));
        list.append(addition);
        QStringList expected(list.count());
        for (qsizetype position = 0; position < list.count(); ++position)
            expected[list.positionAfter(*merged, position)] = list.at(position);
        list.replaceBase(merged);
        QCOMPARE(textsOf(list), expected);
    }
}

QTEST_APPLESS_MAIN(TestSortedItemList)
#include "tst_sorteditemlist.moc"
