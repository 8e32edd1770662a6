#include "itemlistmodel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QTest>

class TestItemListModel : public QObject
{
    Q_OBJECT

private slots:
    void rowsAppearAtTheirSortedPlaces();
    void batchesKeepPersistentIndexesOnTheirItems();
};

namespace
{
QStringList rows(const ItemListModel &model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row).data().toString());
    return texts;
}
} // namespace

void TestItemListModel::rowsAppearAtTheirSortedPlaces()
{
    ItemListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char16_t *item : {u"pear", u"apple", u"fig", u"apple", u""})
        model.addItem(item);
    QCOMPARE(rows(model), (QStringList{u""_qs, u"apple"_qs, u"apple"_qs, u"fig"_qs, u"pear"_qs}));
}

void TestItemListModel::batchesKeepPersistentIndexesOnTheirItems()
{
    ItemListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QRandomGenerator random(3);
    QList<QPersistentModelIndex> kept;
    for (int round = 0; round < 10; ++round) {
        ItemBatch batch;
        for (int index = 0; index < 50; ++index)
            batch.append(QString::number(random.bounded(1000)));
        QStringList keptTexts;
        for (const QPersistentModelIndex &index : kept)
            keptTexts.append(index.data().toString());

        model.addItems(std::move(batch));

        for (qsizetype index = 0; index < kept.size(); ++index)
            QCOMPARE(kept[index].data().toString(), keptTexts[index]);
        QStringList sorted = rows(model);
        QStringList expected = sorted;
        std::sort(expected.begin(), expected.end(),
                  [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        QCOMPARE(sorted, expected);
        kept.append(model.index(random.bounded(model.rowCount())));
    }
}

QTEST_GUILESS_MAIN(TestItemListModel)
#include "tst_itemlistmodel.moc"
