#include "filesizelimit.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <QRandomGenerator>

#include <csignal>
#include <cstdio>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class TestListSort : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void orderFollowsTheLocale_data();
    void orderFollowsTheLocale();
    void helpShowsUsageAndTheOrder();
    void outputMayBeAnInput();
    void outputNamedAsAHandleIsWrittenWhereItPoints_data();
    void outputNamedAsAHandleIsWrittenWhereItPoints();
    void messagesNameWhatFailed_data();
    void messagesNameWhatFailed();
    void fileNamesThatAreNotUtf8_data();
    void fileNamesThatAreNotUtf8();
    void failedWriteLeavesTheOldOutputWhole();
    void runningOutOfMemoryIsAnError();
    void runsGiveTheBytesOfMemory_data();
    void runsGiveTheBytesOfMemory();
    void signalsLeaveNoTemporaryFile_data();
    void signalsLeaveNoTemporaryFile();
    void fullTemporaryFolderIsAnError();
    void killedSaveInPlaceKeepsTheOldContent();
};

namespace
{
struct Run {
    int exitCode;
    QByteArray output;
    QByteArray errors;
};

// Runs listsort with the locale variables of locale alone, LC_ALL=C unless told.
Run listsort(const QStringList &arguments, const QByteArray &input = {},
             const QString &directory = {}, const std::function<void()> &inChild = {},
             const QStringList &locale = {u"LC_ALL=C"_qs})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : {u"LC_ALL"_qs, u"LC_COLLATE"_qs, u"LANG"_qs})
        environment.remove(variable);
    for (const QString &setting : locale)
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(directory);
    process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(LISTSORT), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000))
        qFatal("listsort did not finish");
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Random items of a few letters, accents and cases among them, so that runs hold identical
// items, items that differ only in case, and items the collation orders apart from bytes.
QByteArray randomItems(int count, quint32 seed)
{
    static const QString letters = u"abcABCéÉ -9"_qs;
    QRandomGenerator random(seed);
    QString text;
    for (int item = 0; item < count; ++item) {
        for (int length = random.bounded(1, 5); length > 0; --length)
            text += letters[random.bounded(int(letters.size()))];
        text += u'\n';
    }
    return text.toUtf8();
}

// The bytes of the file at path, a name given as the system's bytes; "(none)" without one.
QByteArray contentsOfNative(const QByteArray &path)
{
    std::FILE *file = std::fopen(path.constData(), "rb");
    if (!file)
        return "(none)";
    QByteArray bytes(4096, Qt::Uninitialized);
    bytes.truncate(qsizetype(std::fread(bytes.data(), 1, size_t(bytes.size()), file)));
    std::fclose(file);
    return bytes;
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
    QTest::newRow("written in the first input's encoding")
        << QStringList{} << QByteArray("caf\xe9\n") << 0 << QByteArray("caf\xe9\r\n")
        << QByteArray();
    QTest::newRow("a later input that the first one's code page cannot hold: UTF-8")
        << QStringList{u"-"_qs, data + u"cyrillic.lst"_qs} << QByteArray("caf\xe9\n") << 0
        << QByteArray("caf\xc3\xa9\r\n\xd1\x91\xd0\xb6\r\n") << QByteArray();
    QTest::newRow("--encoding chooses the encoding")
        << QStringList{u"--encoding"_qs, u"UTF-16LE"_qs} << QByteArray("b\na\n") << 0
        << QByteArray("\xff\xfe"
                      "a\0\r\0\n\0b\0\r\0\n\0",
                      14)
        << QByteArray();
    QTest::newRow("--encoding that cannot write an item")
        << QStringList{u"--encoding"_qs, u"cp1252"_qs} << QByteArray("a\n\xe6\x97\xa5\n") << 2
        << QByteArray()
        << QByteArray(
               "listsort: cannot write standard output: the item on line 2 has characters that "
               "windows-1252 cannot represent\n");
    QTest::newRow("unknown encoding")
        << QStringList{u"--encoding"_qs, u"ebcdic"_qs} << QByteArray() << 2 << QByteArray()
        << QByteArray("listsort: unknown encoding 'ebcdic'; use utf-8, utf-8-bom, utf-16le, "
                      "utf-16be, or a code page that keeps ASCII as it is (windows-1252, "
                      "windows-1251, windows-932, iso-8859-2, koi8-r, ...)\nTry 'listsort "
                      "--help'.\n");
    QTest::newRow("--input-encoding leaves a file with a UTF-8 mark in UTF-8")
        << QStringList{u"--input-encoding"_qs, u"windows-1251"_qs}
        << QByteArray("\xef\xbb\xbf\xd0\xbf\xd1\x80\xd0\xb8\r\nabc\r\n") << 0
        << QByteArray("\xef\xbb\xbf"
                      "abc\r\n\xd0\xbf\xd1\x80\xd0\xb8\r\n")
        << QByteArray();
    QTest::newRow("--input-encoding reads a UTF-8 mark that the rest belies as text")
        << QStringList{u"--input-encoding"_qs, u"windows-1251"_qs}
        << QByteArray("\xef\xbb\xbf\xe0\n") << 0 << QByteArray("\"\xef\xbb\xbf\xe0\"\r\n")
        << QByteArray();
    QTest::newRow("UTF-16 cut inside a character")
        << QStringList{}
        << QByteArray("\xff\xfe"
                      "a\0b",
                      5)
        << 2 << QByteArray()
        << QByteArray(
               "listsort: cannot read standard input: the file ends inside a character: its last "
               "byte is half of a UTF-16 character\n");
    QTest::newRow("/dev/stdout is written, not replaced")
        << QStringList{u"-o"_qs, u"/dev/stdout"_qs} << QByteArray("b\na\n") << 0
        << QByteArray("a\r\nb\r\n") << QByteArray();
    QTest::newRow("full disk says so")
        << QStringList{u"-o"_qs, u"/dev/full"_qs} << QByteArray("a\n") << 2 << QByteArray()
        << QByteArray("listsort: cannot write '/dev/full': No space left on device\n");
    QTest::newRow("check: as saving writes it")
        << QStringList{u"-c"_qs} << QByteArray("a\r\nb\r\n") << 0 << QByteArray() << QByteArray();
    QTest::newRow("check: out of order")
        << QStringList{u"--check"_qs, u"-"_qs} << QByteArray("a\r\nc\r\nb\r\n") << 1 << QByteArray()
        << QByteArray("listsort: -:3: out of order: b\n");
    QTest::newRow("check: other line ends")
        << QStringList{u"-c"_qs} << QByteArray("a\r\nb\n") << 1 << QByteArray()
        << QByteArray("listsort: -:2: saving would change this line: b\n");
    QTest::newRow("check: in the file's own encoding")
        << QStringList{u"-c"_qs} << QByteArray("\xfe\xff\0a\0\r\0\n\0b\0\r\0\n", 14) << 0
        << QByteArray() << QByteArray();
    QTest::newRow("check: in another encoding")
        << QStringList{u"-c"_qs, u"--encoding"_qs, u"utf-16le"_qs} << QByteArray("b\r\na\r\n") << 1
        << QByteArray() << QByteArray("listsort: -:1: saving would change this line: b\n");
    QTest::newRow("check: a file")
        << QStringList{u"-c"_qs, data + u"fruit.lst"_qs} << QByteArray() << 1 << QByteArray()
        << "listsort: " + data.toUtf8() + "fruit.lst:2: out of order: apple\n";
    QTest::newRow("check: a pipe given by name")
        << QStringList{u"-c"_qs, u"/dev/stdin"_qs} << QByteArray("a\r\nb\r\n") << 0 << QByteArray()
        << QByteArray();
    QTest::newRow("check: /dev/null") << QStringList{u"-c"_qs, u"/dev/null"_qs} << QByteArray() << 0
                                      << QByteArray() << QByteArray();
    QTest::newRow("check: counts CR line ends as the reader does")
        << QStringList{u"-c"_qs} << QByteArray("a\r\nb\rc\r\n") << 1 << QByteArray()
        << QByteArray("listsort: -:2: saving would change this line: b\n");
    QTest::newRow("check: a long line is cut")
        << QStringList{u"-c"_qs} << "b\r\n" + QByteArray(200, 'a') + "\r\n"
        << 1 << QByteArray()
        << "listsort: -:2: out of order: " + QByteArray(80, 'a') + "\xe2\x80\xa6\n";
    QTest::newRow("check: in the order of --locale")
        << QStringList{u"-c"_qs, u"--locale"_qs, u"sv"_qs} << QByteArray("a\r\nz\r\n\xc3\xa5\r\n")
        << 0 << QByteArray() << QByteArray();
    QTest::newRow("unknown locale")
        << QStringList{u"--locale"_qs, u"xx_YY"_qs} << QByteArray("b\na\n") << 2 << QByteArray()
        << QByteArray("listsort: unknown locale 'xx_YY'\n");
    QTest::newRow("-u keeps one of each run of identical items")
        << QStringList{u"-u"_qs} << QByteArray("b\na\nb\nB\na\n") << 0
        << QByteArray("a\r\nb\r\nB\r\n") << QByteArray();
    QTest::newRow("-r writes backwards") << QStringList{u"--reverse"_qs} << QByteArray("b\na\nc\n")
                                         << 0 << QByteArray("c\r\nb\r\na\r\n") << QByteArray();
    // Runs of identical items across the pieces that the writer formats on several threads.
    QTest::newRow("-r -u over long runs")
        << QStringList{u"-r"_qs, u"-u"_qs}
        << QByteArray("a\n").repeated(20'000) + QByteArray("b\n").repeated(20'000) << 0
        << QByteArray("b\r\na\r\n") << QByteArray();
    QTest::newRow("-r: the line of an item that the encoding cannot write")
        << QStringList{u"-r"_qs, u"--encoding"_qs, u"cp1252"_qs}
        << QByteArray("a\nb\n\xe6\x97\xa5\n") << 2 << QByteArray()
        << QByteArray(
               "listsort: cannot write standard output: the item on line 1 has characters that "
               "windows-1252 cannot represent\n");
    QTest::newRow("check: against the form of -r -u")
        << QStringList{u"-c"_qs, u"-r"_qs, u"-u"_qs} << QByteArray("b\r\na\r\n") << 0
        << QByteArray() << QByteArray();
    QTest::newRow("check: -u finds a repeated item")
        << QStringList{u"-c"_qs, u"-u"_qs} << QByteArray("a\r\nb\r\nb\r\n") << 1 << QByteArray()
        << QByteArray("listsort: -:3: repeats the item before it: b\n");
    QByteArray sorted;
    for (int index = 0; index < 40'000; ++index)
        sorted += QByteArray::number(100'000 + index) + "\r\n";
    QTest::newRow("check: a list larger than the budget")
        << QStringList{u"-c"_qs, u"-S"_qs, u"1K"_qs} << sorted << 0 << QByteArray() << QByteArray();
    QTest::newRow("invalid -S") << QStringList{u"-S"_qs, u"lots"_qs} << QByteArray() << 2
                                << QByteArray()
                                << QByteArray("listsort: invalid memory size 'lots'\n"
                                              "Try 'listsort --help'.\n");
    QTest::newRow("check: one file only")
        << QStringList{u"-c"_qs, u"a"_qs, u"b"_qs} << QByteArray() << 2 << QByteArray()
        << QByteArray("listsort: --check takes one FILE and no --output\n"
                      "Try 'listsort --help'.\n");
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

void TestListSort::orderFollowsTheLocale_data()
{
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("sorted");

    const QString root = u"a å ä ö z"_qs;
    const QString swedish = u"a z å ä ö"_qs;
    QTest::newRow("C") << QStringList{u"LC_ALL=C"_qs} << QStringList{} << root;
    QTest::newRow("LC_ALL") << QStringList{u"LC_ALL=sv_SE.UTF-8"_qs, u"LANG=C"_qs} << QStringList{}
                            << swedish;
    QTest::newRow("LANG") << QStringList{u"LANG=sv_SE.UTF-8"_qs} << QStringList{} << swedish;
    QTest::newRow("--locale") << QStringList{u"LC_ALL=C"_qs}
                              << QStringList{u"--locale"_qs, u"sv-SE"_qs} << swedish;
    QTest::newRow("--locale root over the environment")
        << QStringList{u"LC_ALL=sv_SE.UTF-8"_qs} << QStringList{u"--locale"_qs, u"root"_qs} << root;
}

void TestListSort::orderFollowsTheLocale()
{
    QFETCH(QStringList, locale);
    QFETCH(QStringList, arguments);
    QFETCH(QString, sorted);

    const Run run = listsort(arguments, u"ö\nz\nå\na\nä\n"_qs.toUtf8(), {}, {}, locale);
    QCOMPARE(run.errors, QByteArray());
    QCOMPARE(QString::fromUtf8(run.output).split(u"\r\n"_qs, Qt::SkipEmptyParts),
             sorted.split(u' '));
}

void TestListSort::helpShowsUsageAndTheOrder()
{
    const Run run = listsort({u"--help"_qs}, {}, {}, {}, {u"LC_COLLATE=sv_SE.UTF-8"_qs});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.startsWith("Usage: listsort [OPTION]... [FILE]...\n"),
             run.output.constData());
    QVERIFY(!run.output.contains("--help-all"));
    QVERIFY2(run.output.endsWith("\nOrder: sv_SE, from LC_COLLATE\n"), run.output.constData());
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

void TestListSort::outputNamedAsAHandleIsWrittenWhereItPoints_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("/dev/stdout") << u"/dev/stdout"_qs;
    QTest::newRow("/dev/fd/1") << u"/dev/fd/1"_qs;
    QTest::newRow("/proc/self/fd/1") << u"/proc/self/fd/1"_qs;
    QTest::newRow("a link to /dev/stdout") << u"link"_qs;
}

// Standard output appended to a log was once replaced by the sorted list.
void TestListSort::outputNamedAsAHandleIsWrittenWhereItPoints()
{
    QFETCH(QString, output);
    QTemporaryDir dir;
    QVERIFY(QFile::link(u"/dev/stdout"_qs, dir.filePath(u"link"_qs)));
    const QString log = dir.filePath(u"log.txt"_qs);
    writeFile(log, "before\n");
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setStandardOutputFile(log, QIODevice::Append);
    process.start(QStringLiteral(LISTSORT), {u"-o"_qs, output, u"-"_qs});
    process.write("b\na\n");
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60'000));
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), 0);
    QFile written(log);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("before\na\r\nb\r\n"));
}

void TestListSort::messagesNameWhatFailed_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("standardOutput"); // a file, or "closed"
    QTest::addColumn<QByteArray>("errors");

    QTest::newRow("temporary folder as $TMPDIR gives it")
        << QStringList{u"TMPDIR=/nonexistent"_qs, u"-S"_qs, u"1b"_qs, u"many.lst"_qs} << QString()
        << QByteArray("listsort: cannot write temporary file in '/nonexistent': No such file or "
                      "directory\n");
    QTest::newRow("a handle of its own, a temporary file's")
        << QStringList{u"-S"_qs, u"1b"_qs, u"-o"_qs, u"/dev/fd/5"_qs, u"many.lst"_qs} << QString()
        << QByteArray("listsort: cannot write '/dev/fd/5': Bad file descriptor\n");
    QTest::newRow("full standard output")
        << QStringList{} << u"/dev/full"_qs
        << QByteArray("listsort: cannot write standard output: No space left on device\n");
    QTest::newRow("closed standard output")
        << QStringList{} << u"closed"_qs
        << QByteArray("listsort: cannot write standard output: Bad file descriptor\n");
}

void TestListSort::messagesNameWhatFailed()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, standardOutput);
    QFETCH(QByteArray, errors);

    QTemporaryDir dir; // with a list that takes runs in temporary files under a small budget
    writeFile(dir.filePath(u"many.lst"_qs), randomItems(20'000, 6));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!arguments.isEmpty() && arguments.constFirst().contains(u'=')) {
        const QString setting = arguments.takeFirst();
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    process.setProcessEnvironment(environment);
    if (standardOutput == u"closed")
        process.setChildProcessModifier([] { ::close(1); });
    else if (!standardOutput.isEmpty())
        process.setStandardOutputFile(standardOutput);
    process.start(QStringLiteral(LISTSORT), arguments);
    process.write("b\na\n");
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60'000));
    QCOMPARE(process.readAllStandardError(), errors);
    QCOMPARE(process.exitCode(), 2);
}

void TestListSort::fileNamesThatAreNotUtf8_data()
{
    QTest::addColumn<QString>("arguments"); // for printf, in the shell
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");
    QTest::addColumn<QByteArray>("written"); // what legacy\350out.lst then holds

    QTest::newRow("read") << u"legacy\\350name.lst"_qs << QByteArray("x\r\n") << QByteArray()
                          << QByteArray("(none)");
    QTest::newRow("written under that very name")
        << u"-o legacy\\350out.lst legacy\\350name.lst"_qs << QByteArray() << QByteArray()
        << QByteArray("x\r\n");
    QTest::newRow("named with the bytes escaped")
        << u"missing\\350.lst"_qs << QByteArray()
        << QByteArray("listsort: cannot read 'missing\\350.lst': No such file or directory\n")
        << QByteArray("(none)");
}

void TestListSort::fileNamesThatAreNotUtf8()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    QFETCH(QByteArray, written);

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray name = folder + "/legacy\350name.lst";
    const QByteArray out = folder + "/legacy\350out.lst";
    // QTemporaryDir cannot remove what QString cannot name.
    const auto remove = qScopeGuard([&] {
        std::remove(name.constData());
        std::remove(out.constData());
    });
    std::FILE *legacy = std::fopen(name.constData(), "wb");
    QVERIFY(legacy && std::fputs("x\n", legacy) >= 0 && std::fclose(legacy) == 0);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    // The shell's printf makes the bytes, which no QString argument could carry.
    process.start(u"/bin/sh"_qs, {u"-c"_qs, u"exec \"$0\" $(printf ' %1')"_qs.arg(arguments),
                                  QStringLiteral(LISTSORT)});
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60'000));
    QCOMPARE(process.readAllStandardError(), errors);
    QCOMPARE(process.readAllStandardOutput(), output);
    QCOMPARE(contentsOfNative(out), written);
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

void TestListSort::runningOutOfMemoryIsAnError()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer cannot run with a limit on address space");
#endif
    // An endless line of NUL characters: one item that grows until memory runs out.
    const Run run = listsort({u"/dev/zero"_qs}, {}, {}, [] {
        const rlimit limit{512 << 20, 512 << 20};
        setrlimit(RLIMIT_AS, &limit);
    });
    QCOMPARE(run.errors, QByteArray("listsort: cannot read '/dev/zero': not enough memory\n"));
    QCOMPARE(run.exitCode, 2);
}

void TestListSort::runsGiveTheBytesOfMemory_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("one file") << QStringList{u"one.lst"_qs};
    QTest::newRow("-u -r, several inputs, standard input")
        << QStringList{u"-u"_qs, u"-r"_qs, u"one.lst"_qs, u"-"_qs, u"two.lst"_qs};
    QTest::newRow("Windows-1252 first, then UTF-16") << QStringList{u"two.lst"_qs, u"three.lst"_qs};
    QTest::newRow("an encoding that cannot write an item")
        << QStringList{u"--encoding"_qs, u"windows-1252"_qs, u"one.lst"_qs, u"three.lst"_qs};
    QTest::newRow("items between commas on one line") << QStringList{u"commas.lst"_qs};
    QTest::newRow("a pipe given as a file") << QStringList{u"/dev/stdin"_qs, u"two.lst"_qs};
    QTest::newRow("few files may be open") << QStringList{u"files=12"_qs, u"one.lst"_qs};
    // Standard input once took a handle more than a file, and failed where a file sorted.
    QTest::newRow("as few files as a file needs, standard input")
        << QStringList{u"files=8"_qs, u"-"_qs};
}

// A budget far smaller than the list has it sorted in many runs, merged in several rounds.
void TestListSort::runsGiveTheBytesOfMemory()
{
    QFETCH(QStringList, arguments);
    // "files=N": listsort may have no more than N files open at once.
    const int files = arguments.constFirst().startsWith(u"files="_qs)
                          ? arguments.takeFirst().section(u'=', 1).toInt()
                          : 0;
    QTemporaryDir dir;
    writeFile(dir.filePath(u"one.lst"_qs), randomItems(30'000, 1));
    writeFile(dir.filePath(u"commas.lst"_qs), randomItems(30'000, 5).replace('\n', ','));
    const QString latin = QString::fromUtf8(randomItems(5'000, 2)) + u"last, in UTF-8 once\n"_qs;
    writeFile(dir.filePath(u"two.lst"_qs), latin.toLatin1());
    const QString wide = u"日本\n"_qs + QString::fromUtf8(randomItems(5'000, 3));
    writeFile(dir.filePath(u"three.lst"_qs),
              "\xff\xfe" +
                  QByteArray(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2));
    const QByteArray input = randomItems(10'000, 4);
    QTemporaryDir temporary;

    const Run inMemory = listsort(arguments, input, dir.path());
    const Run inRuns =
        listsort(QStringList{u"-S"_qs, u"1K"_qs, u"-T"_qs, temporary.path()} + arguments, input,
                 dir.path(), [files] {
                     if (files > 0) {
                         const rlimit limit{rlim_t(files), rlim_t(files)};
                         setrlimit(RLIMIT_NOFILE, &limit);
                     }
                 });
    QCOMPARE(inRuns.errors, inMemory.errors);
    QCOMPARE(inRuns.exitCode, inMemory.exitCode);
    QVERIFY(inRuns.output == inMemory.output);
    QVERIFY(inMemory.output.size() > 10'000 || inMemory.exitCode != 0);
    QCOMPARE(QDir(temporary.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestListSort::signalsLeaveNoTemporaryFile_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestListSort::signalsLeaveNoTemporaryFile()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    QByteArray items;
    for (int index = 0; index < 3'000'000; ++index)
        items += QByteArray::number((index * 7919LL) % 3'000'000) + '\n';
    writeFile(dir.filePath(u"in.lst"_qs), items);
    QVERIFY(QDir(dir.path()).mkdir(u"temporary"_qs));

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(LISTSORT), {u"-S"_qs, u"1K"_qs, u"-T"_qs, u"temporary"_qs,
                                             u"-o"_qs, u"out.lst"_qs, u"in.lst"_qs});
    QVERIFY(process.waitForStarted());
    QTest::qWait(500); // well into its runs
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(10'000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(QDir(dir.filePath(u"temporary"_qs)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"in.lst"_qs});
}

void TestListSort::fullTemporaryFolderIsAnError()
{
    QTemporaryDir dir;
    const QString small = dir.filePath(u"small"_qs);
    QVERIFY(QDir(dir.path()).mkdir(u"small"_qs));
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small tmpfs needs root");
    const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(small).constData()); });
    const QString output = dir.filePath(u"out.lst"_qs);
    writeFile(output, "old\r\n");

    const Run run =
        listsort({u"-S"_qs, u"1K"_qs, u"-T"_qs, small, u"-o"_qs, output}, randomItems(100'000, 5));
    QCOMPARE(run.errors, "listsort: cannot write temporary file in '" + small.toUtf8() +
                             "': No space left on device\n");
    QCOMPARE(run.exitCode, 2);
    QFile old(output);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old\r\n"));
    QCOMPARE(QDir(small).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// A save in place killed part way once left a mix of old and new items, the new ones in an
// unnamed file.
void TestListSort::killedSaveInPlaceKeepsTheOldContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.lst"_qs);
    QByteArray old;
    for (int index = 0; index < 2'000'000; ++index)
        old += QByteArray::number((index * 7919LL) % 2'000'000) + "\r\n";
    writeFile(path, old);
    // Another name for the file has it written in place.
    QCOMPARE(::link(QFile::encodeName(path).constData(),
                    QFile::encodeName(dir.filePath(u"other.lst"_qs)).constData()),
             0);
    const QByteArray sorted = listsort({u"list.lst"_qs}, {}, dir.path()).output;
    const QDir backups(dir.filePath(u"cache/file-sorter/backups"_qs));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CACHE_HOME"_qs, dir.filePath(u"cache"_qs));
    environment.insert(u"LC_ALL"_qs, u"C"_qs);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(LISTSORT), {u"-o"_qs, u"list.lst"_qs, u"list.lst"_qs});
    QVERIFY(process.waitForStarted());
    // Killed once the backup is there, while the new content is copied over the file.
    while (!process.waitForFinished(1)) {
        if (!backups.entryList(QDir::Files).isEmpty())
            ::kill(pid_t(process.processId()), SIGKILL);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray now = file.readAll();
    const QStringList kept = backups.entryList(QDir::Files);
    if (process.exitStatus() == QProcess::NormalExit) {
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(now, sorted);
        QCOMPARE(kept, QStringList());
        return;
    }
    QCOMPARE(kept.size(), 1);
    QVERIFY(kept.constFirst().startsWith(u"list.lst."_qs));
    QFile backup(backups.filePath(kept.constFirst()));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), old);
}

QTEST_GUILESS_MAIN(TestListSort)
#include "tst_listsort.moc"
