#include "order/merging.h"
#include "order/sorting.h"
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
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QStringList>("sorted");

    const QByteArray root = "root";
    QTest::newRow("empty item first") << root << QStringList{u""_qs, u" "_qs, u"a"_qs};
    QTest::newRow("case ignored at first")
        << root << QStringList{u"apple"_qs, u"Banana"_qs, u"cherry"_qs};
    QTest::newRow("accents ignored at first")
        << root << QStringList{u"resume"_qs, u"résumé"_qs, u"resumes"_qs};
    QTest::newRow("lower case before upper case")
        << root << QStringList{u"apple"_qs, u"Apple"_qs, u"APPLE"_qs};
    QTest::newRow("digit runs by value")
        << root << QStringList{u"item2"_qs, u"item10"_qs, u"item100"_qs};
    QTest::newRow("duplicates kept side by side")
        << root << QStringList{u"a"_qs, u"b"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("equal under collation, then by code units")
        << root << QStringList{u"e\u0301"_qs, u"\u00e9"_qs, u"f"_qs};
    QTest::newRow("punctuation and digits before letters")
        << root << QStringList{u"-dash"_qs, u"1st"_qs, u"alpha"_qs};
    // Items agree on the first eight bytes of their weights, the prefix kept inline.
    QTest::newRow("equal prefix, then case")
        << root << QStringList{u"abcdefghijk"_qs, u"Abcdefghijk"_qs, u"ABCDEFGHIJK"_qs};
    QTest::newRow("equal prefix, then accents")
        << root << QStringList{u"abcdefghijke"_qs, u"abcdefghijké"_qs, u"abcdefghijkf"_qs};
    QTest::newRow("equal prefix, then digit runs by value")
        << root << QStringList{u"abcdefghij 9"_qs, u"abcdefghij 10"_qs, u"abcdefghij 100"_qs};
    QTest::newRow("equal far beyond the prefix")
        << root
        << QStringList{QString(1100, u'x') + u'a', QString(1100, u'x') + u'b',
                       QString(1100, u'x') + u'B'};

    // Two items that take ICU's way (supplementary digits, a lone surrogate, over 256 bytes)
    // and differ at their numbers, where ICU's UTF-16 comparison and its sort keys disagree.
    const QString stem = u"aaaaaaaa"_qs + QChar(0xd835) + QChar(0xdfcf);
    const QString tail = QString(4096, u'a') + QChar(0xd800);
    QTest::newRow("digits past the merge's weights")
        << root
        << QStringList{stem + QChar(0xd835) + QChar(0xdfd3) + tail,
                       stem + QChar(0xd835) + QChar(0xdfce) + QChar(0xd835) + QChar(0xdfd3) + tail};
    QTest::newRow("Swedish: å ä ö after z")
        << QByteArray("sv") << QStringList{u"z"_qs, u"å"_qs, u"ä"_qs, u"ö"_qs};
    QTest::newRow("Danish: aa is å")
        << QByteArray("da") << QStringList{u"ab"_qs, u"ø"_qs, u"aa"_qs, u"Aalborg"_qs};
    QTest::newRow("Czech: ch after h")
        << QByteArray("cs") << QStringList{u"h"_qs, u"ch"_qs, u"i"_qs};
    QTest::newRow("Polish: ł after l")
        << QByteArray("pl") << QStringList{u"lz"_qs, u"ła"_qs, u"m"_qs};
    QTest::newRow("traditional Spanish: ll after l")
        << QByteArray("es@collation=traditional") << QStringList{u"lz"_qs, u"lla"_qs, u"m"_qs};
    QTest::newRow("German phone book: ä as ae")
        << QByteArray("de@collation=phonebook") << QStringList{u"ad"_qs, u"ä"_qs, u"af"_qs};
    QTest::newRow("digit runs by value in Swedish")
        << QByteArray("sv") << QStringList{u"ö2"_qs, u"ö10"_qs, u"ö100"_qs};
}

void TestSortedItemList::order()
{
    QFETCH(QByteArray, locale);
    QFETCH(QStringList, sorted);

    SortedItemList list{Collation(locale)};
    for (auto item = sorted.crbegin(); item != sorted.crend(); ++item)
        list.insert(*item);
    QCOMPARE(textsOf(list), sorted);
}

void TestSortedItemList::orderDoesNotDependOnInsertionOrder()
{
    QFETCH(QByteArray, locale);
    QFETCH(QStringList, sorted);

    const Collation collation(locale);
    QStringList shuffled = sorted;
    std::sort(shuffled.begin(), shuffled.end());
    do {
        // One at a time, sorted as a batch, and merged a batch of one at a time.
        SortedItemList single(collation);
        SortedItemList merged(collation);
        ItemBatch batch;
        for (const QString &item : shuffled) {
            single.insert(item);
            batch.append(item);
            ItemBatch one;
            one.append(item);
            merged.insert(std::move(one));
        }
        SortedItemList batched(collation);
        batched.insert(std::move(batch));
        QCOMPARE(textsOf(single), sorted);
        QCOMPARE(textsOf(batched), sorted);
        QCOMPARE(textsOf(merged), sorted);
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
        const auto addition =
            std::make_shared<const ItemRun>(sortedRun(std::move(batch), list.collation()));
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
