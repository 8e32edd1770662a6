#include "filesizelimit.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestListSort : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void outputMayBeAnInput();
    void failedWriteLeavesTheOldOutputWhole();
};

namespace
{
struct Run {
    int exitCode;
    QByteArray output;
    QByteArray errors;
};

Run listsort(const QStringList &arguments, const QByteArray &input = {},
             const QString &directory = {})
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral(LISTSORT), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000))
        qFatal("listsort did not finish");
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}
} // namespace

void TestListSort::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");

    const QString data = QStringLiteral(TEST_DATA_DIR "/");
    QTest::newRow("standard input") << QStringList{} << QByteArray("b\na,c\n") << 0
                                    << QByteArray("a\r\nb\r\nc\r\n") << QByteArray();
    QTest::newRow("dash is standard input")
        << QStringList{u"-"_qs, data + u"comma.lst"_qs} << QByteArray("c\n") << 0
        << QByteArray("a\r\nb\r\nc\r\n") << QByteArray();
    QTest::newRow("files merge in one list")
        << QStringList{data + u"fruit.lst"_qs, data + u"fruit.lst"_qs} << QByteArray() << 0
        << QByteArray("apple\r\napple\r\nfig\r\nfig\r\npear\r\npear\r\n") << QByteArray();
    QTest::newRow("empty input gives empty output")
        << QStringList{data + u"empty.lst"_qs} << QByteArray() << 0 << QByteArray() << QByteArray();
    QTest::newRow("unreadable file")
        << QStringList{data + u"fruit.lst"_qs, u"missing.lst"_qs} << QByteArray() << 2
        << QByteArray()
        << QByteArray("listsort: cannot read 'missing.lst': No such file or directory\n");
    QTest::newRow("version") << QStringList{u"--version"_qs} << QByteArray() << 0
                             << QByteArray("listsort 1.00\n") << QByteArray();
    QTest::newRow("unknown option")
        << QStringList{u"--sideways"_qs} << QByteArray() << 2 << QByteArray()
        << QByteArray("listsort: Unknown option 'sideways'.\nTry 'listsort --help'.\n");
}

void TestListSort::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);

    const Run run = listsort(arguments, input);
    QCOMPARE(run.errors, errors);
    QCOMPARE(run.output, output);
    QCOMPARE(run.exitCode, exitCode);
}

void TestListSort::outputMayBeAnInput()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/fruit.lst"), dir.filePath(u"f.lst"_qs)));
    const Run run = listsort({u"-o"_qs, u"f.lst"_qs, u"f.lst"_qs}, {}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QFile sorted(dir.filePath(u"f.lst"_qs));
    QVERIFY(sorted.open(QIODevice::ReadOnly));
    QCOMPARE(sorted.readAll(), QByteArray("apple\r\nfig\r\npear\r\n"));
}

void TestListSort::failedWriteLeavesTheOldOutputWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.lst"_qs);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old\r\n");
    old.close();
    QByteArray input;
    for (int index = 0; index < 100'000; ++index)
        input += QByteArray::number(index) + '\n';

    const Run run = [&] {
        const FileSizeLimit limit(64 * 1024);
        return listsort({u"-o"_qs, path}, input);
    }();

    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.startsWith("listsort: cannot write '" + path.toUtf8() + "': "),
             run.errors.constData());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old\r\n"));
}

QTEST_GUILESS_MAIN(TestListSort)
#include "tst_listsort.moc"
