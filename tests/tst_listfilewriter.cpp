#include "filesizelimit.h"
#include "listfile.h"
#include "testhelpers.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class TestListFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
    void writeThenReadGivesTheSameItems();
    void saveReplacesTheOldContent_data();
    void saveReplacesTheOldContent();
    void saveKeepsPermissions();
    void failedSaveLeavesTheOldFileWhole();
    void saveIntoMissingFolderFailsWithAReason();
};

namespace
{
SortedItemList listOf(const QStringList &items)
{
    SortedItemList list;
    for (const QString &item : items)
        list.insert(item);
    return list;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
} // namespace

void TestListFileWriter::bytes_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty list gives an empty file") << QStringList{} << QByteArray();
    QTest::newRow("sorted, each line ended by CR LF")
        << QStringList{u"pear"_qs, u"apple"_qs, u"fig"_qs}
        << QByteArray("apple\r\nfig\r\npear\r\n");
    QTest::newRow("empty item is an empty line") << QStringList{u""_qs} << QByteArray("\r\n");
    QTest::newRow("UTF-8 without mark") << QStringList{u"café"_qs} << QByteArray("caf\xc3\xa9\r\n");
    QTest::newRow("quote inside an item is written as it is")
        << QStringList{u"5\" disk"_qs} << QByteArray("5\" disk\r\n");
    QTest::newRow("comma is quoted")
        << QStringList{u"Smith, John"_qs} << QByteArray("\"Smith, John\"\r\n");
    QTest::newRow("leading quote is quoted and doubled")
        << QStringList{u"\"hi\" there"_qs} << QByteArray("\"\"\"hi\"\" there\"\r\n");
    QTest::newRow("leading and trailing blanks are quoted")
        << QStringList{u" a"_qs, u"b\t"_qs} << QByteArray("\" a\"\r\n\"b\t\"\r\n");
}

void TestListFileWriter::bytes()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, bytes);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(writeListItems(buffer, listOf(items), error));
    QCOMPARE(buffer.data(), bytes);
}

void TestListFileWriter::writeThenReadGivesTheSameItems()
{
    // Items made of the characters that the file format treats specially.
    const QString alphabet = u"ab ,\"\t\u00e9\u20ac\u0000x"_qs;
    QRandomGenerator random(42);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"round.lst"_qs);
    for (int round = 0; round < 50; ++round) {
        SortedItemList list;
        for (int count = random.bounded(20); count > 0; --count) {
            QString item;
            for (int length = random.bounded(6); length > 0; --length)
                item += alphabet[random.bounded(int(alphabet.size()))];
            list.insert(item);
        }
        QString error;
        QVERIFY2(saveListFile(path, list, error), qPrintable(error));
        ItemBatch batch;
        QVERIFY2(readListFile(path, batch, error), qPrintable(error));
        QCOMPARE(textsOf(batch), textsOf(list));
    }
}

void TestListFileWriter::saveReplacesTheOldContent_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty list empties the file") << QStringList{} << QByteArray();
    QTest::newRow("new items replace the old")
        << QStringList{u"b"_qs, u"a"_qs} << QByteArray("a\r\nb\r\n");
}

void TestListFileWriter::saveReplacesTheOldContent()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"old.lst"_qs);
    writeBytes(path, "old content that is longer than the new\r\n");
    QString error;
    QVERIFY2(saveListFile(path, listOf(items), error), qPrintable(error));
    QCOMPARE(contents(path), bytes);
}

void TestListFileWriter::saveKeepsPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"shared.lst"_qs);
    writeBytes(path, "x\r\n");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    QString error;
    QVERIFY2(saveListFile(path, listOf({u"y"_qs}), error), qPrintable(error));
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser), permissions);
}

void TestListFileWriter::failedSaveLeavesTheOldFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"precious.lst"_qs);
    const QByteArray old = "keep\r\nme\r\n";
    writeBytes(path, old);
    QStringList many;
    for (int index = 0; index < 100'000; ++index)
        many.append(QString::number(index));
    const SortedItemList list = [&] {
        SortedItemList list;
        ItemBatch batch;
        for (const QString &item : many)
            batch.append(item);
        list.insert(std::move(batch));
        return list;
    }();

    QString error;
    {
        const FileSizeLimit limit(64 * 1024);
        QVERIFY(!saveListFile(path, list, error));
    }
    QVERIFY(!error.isEmpty());
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"precious.lst"_qs});
}

void TestListFileWriter::saveIntoMissingFolderFailsWithAReason()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!saveListFile(dir.filePath(u"gone/list.lst"_qs), listOf({u"a"_qs}), error));
    QVERIFY(!error.isEmpty());
}

QTEST_APPLESS_MAIN(TestListFileWriter)
#include "tst_listfilewriter.moc"
