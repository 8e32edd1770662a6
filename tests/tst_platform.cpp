#include "platform.h"

#include <QTest>

// What the platform pair makes of the texts that Linux writes about memory.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void kibibytesIn_data();
    void kibibytesIn();
    void groupNumberIn_data();
    void groupNumberIn();
    void groupMemoryFiles_data();
    void groupMemoryFiles();
    void fileNamesKeepTheirBytes_data();
    void fileNamesKeepTheirBytes();
};

void TestPlatform::kibibytesIn_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<qint64>("bytes");

    const QByteArray meminfo = "MemTotal:       24576000 kB\nMemFree:         1000 kB\n"
                               "MemAvailable:   20000000 kB\n";
    QTest::newRow("/proc/meminfo, total")
        << meminfo << QByteArray("MemTotal:") << qint64(24576000) * 1024;
    QTest::newRow("/proc/meminfo, available")
        << meminfo << QByteArray("MemAvailable:") << qint64(20000000) * 1024;
    QTest::newRow("/proc/self/status")
        << QByteArray("Name:\tlistsort\nVmPeak:\t  300000 kB\nVmSize:\t  250000 kB\n")
        << QByteArray("VmSize:") << qint64(250000) * 1024;
    QTest::newRow("a missing line") << meminfo << QByteArray("VmData:") << qint64(-1);
    QTest::newRow("no number") << QByteArray("MemTotal: lots kB\n") << QByteArray("MemTotal:")
                               << qint64(-1);
    QTest::newRow("no text") << QByteArray() << QByteArray("MemTotal:") << qint64(-1);
}

void TestPlatform::kibibytesIn()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, label);
    QFETCH(qint64, bytes);
    QCOMPARE(platform::kibibytesIn(text, label), bytes);
}

void TestPlatform::groupNumberIn_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("number");
    QTest::newRow("a limit") << QByteArray("536870912\n") << qint64(536870912);
    QTest::newRow("no limit, version 2") << QByteArray("max\n") << qint64(-1);
    QTest::newRow("an unreadable file") << QByteArray() << qint64(-1);
}

void TestPlatform::groupNumberIn()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, number);
    QCOMPARE(platform::groupNumberIn(text), number);
}

void TestPlatform::groupMemoryFiles_data()
{
    QTest::addColumn<QByteArray>("cgroup");
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("usage");

    QTest::newRow("version 2") << QByteArray("0::/user.slice/session-1.scope\n")
                               << u"/sys/fs/cgroup/user.slice/session-1.scope/memory.max"_qs
                               << u"/sys/fs/cgroup/user.slice/session-1.scope/memory.current"_qs;
    QTest::newRow("version 1")
        << QByteArray("12:pids:/docker/abc\n9:memory:/docker/abc\n1:name=systemd:/docker/abc\n")
        << u"/sys/fs/cgroup/memory/docker/abc/memory.limit_in_bytes"_qs
        << u"/sys/fs/cgroup/memory/docker/abc/memory.usage_in_bytes"_qs;
    QTest::newRow("version 1 memory beside others")
        << QByteArray("4:cpu,memory:/batch\n")
        << u"/sys/fs/cgroup/memory/batch/memory.limit_in_bytes"_qs
        << u"/sys/fs/cgroup/memory/batch/memory.usage_in_bytes"_qs;
    QTest::newRow("both: version 1's memory controller is in force")
        << QByteArray("0::/a\n9:memory:/b\n") << u"/sys/fs/cgroup/memory/b/memory.limit_in_bytes"_qs
        << u"/sys/fs/cgroup/memory/b/memory.usage_in_bytes"_qs;
    QTest::newRow("no memory controller") << QByteArray("12:pids:/x\n") << QString() << QString();
    QTest::newRow("no text") << QByteArray() << QString() << QString();
}

void TestPlatform::groupMemoryFiles()
{
    QFETCH(QByteArray, cgroup);
    QFETCH(QString, limit);
    QFETCH(QString, usage);
    const platform::GroupMemoryFiles files = platform::groupMemoryFiles(cgroup);
    QCOMPARE(files.limit, limit);
    QCOMPARE(files.usage, usage);
}

void TestPlatform::fileNamesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9.lst") << u"café.lst"_qs;
    QTest::newRow("a byte of an older code page")
        << QByteArray("legacy\xe8name.lst") << u"legacy\\350name.lst"_qs;
    QTest::newRow("a UTF-8 sequence cut short") << QByteArray("a\xc3") << u"a\\303"_qs;
    QTest::newRow("the UTF-8 of a surrogate")
        << QByteArray("\xed\xb2\x80") << u"\\355\\262\\200"_qs;
}

void TestPlatform::fileNamesKeepTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = platform::fileNameFromNative(bytes);
    QCOMPARE(platform::nativeFileName(name), bytes);
    QCOMPARE(platform::shownFileName(name), shown);
}

QTEST_APPLESS_MAIN(TestPlatform)
#include "tst_platform.moc"
