#include "filesizelimit.h"
#include "listfile.h"
#include "testhelpers.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

class TestListFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
    void encodingFallsBackWithoutLosingACharacter_data();
    void encodingFallsBackWithoutLosingACharacter();
    void writeThenReadGivesTheSameItems();
    void savingAReadFileGivesBackItsBytes_data();
    void savingAReadFileGivesBackItsBytes();
    void saveReplacesTheOldContent_data();
    void saveReplacesTheOldContent();
    void saveKeepsModeAndOwner_data();
    void saveKeepsModeAndOwner();
    void saveWritesIntoWhatIsNotARegularFile_data();
    void saveWritesIntoWhatIsNotARegularFile();
    void saveReplacesARegularFileWhereverItLies_data();
    void saveReplacesARegularFileWhereverItLies();
    void saveWritesInPlaceWhenTheFolderIsClosed_data();
    void saveWritesInPlaceWhenTheFolderIsClosed();
    void failedSaveLeavesTheOldFileWhole();
    void failedSaveSaysWhy_data();
    void failedSaveSaysWhy();
    void lineLongerThanTwoGigabytesReadsSortsAndWritesWhole();
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

TextEncoding encodingForSaving(const SortedItemList &list, TextEncoding preferred)
{
    QString error;
    return *encodingToWrite(itemsToWrite(list), preferred, std::nullopt, error);
}

qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding)
{
    QString error;
    return *firstUnwritableItem(list.stream(), encoding, error);
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

bool isRoot()
{
    return ::geteuid() == 0;
}

// While it lives, a process running as root has its file access checked as the user nobody,
// as an ordinary user's would be; otherwise it changes nothing.
class UnprivilegedAccess
{
public:
    static constexpr uid_t nobody = 65534;

    UnprivilegedAccess() : m_switched(isRoot())
    {
        if (m_switched && (::setegid(nobody) != 0 || ::seteuid(nobody) != 0))
            qFatal("cannot act as nobody");
    }
    ~UnprivilegedAccess()
    {
        if (m_switched && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("cannot act as root again");
    }
    UnprivilegedAccess(const UnprivilegedAccess &) = delete;
    UnprivilegedAccess &operator=(const UnprivilegedAccess &) = delete;

private:
    bool m_switched;
};

struct stat statusOf(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        qFatal("cannot stat %s", qPrintable(path));
    return status;
}
} // namespace

Q_DECLARE_METATYPE(TextEncoding)
Q_DECLARE_METATYPE(ListForm)

void TestListFileWriter::bytes_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ListForm>("form");

    const auto utf8 = TextEncoding::Utf8;
    QTest::newRow("empty list gives an empty file")
        << QStringList{} << utf8 << QByteArray() << ListForm{};
    QTest::newRow("sorted, each line ended by CR LF")
        << QStringList{u"pear"_qs, u"apple"_qs, u"fig"_qs} << utf8
        << QByteArray("apple\r\nfig\r\npear\r\n") << ListForm{};
    QTest::newRow("empty item is an empty line")
        << QStringList{u""_qs} << utf8 << QByteArray("\r\n") << ListForm{};
    QTest::newRow("UTF-8 without mark")
        << QStringList{u"café"_qs} << utf8 << QByteArray("caf\xc3\xa9\r\n") << ListForm{};
    QTest::newRow("quote inside an item is written as it is")
        << QStringList{u"5\" disk"_qs} << utf8 << QByteArray("5\" disk\r\n") << ListForm{};
    QTest::newRow("comma is quoted") << QStringList{u"Smith, John"_qs} << utf8
                                     << QByteArray("\"Smith, John\"\r\n") << ListForm{};
    QTest::newRow("comma past the first eight bytes is quoted")
        << QStringList{u"Smith-Jones, John"_qs, u"Oppenheimer,J"_qs} << utf8
        << QByteArray("\"Oppenheimer,J\"\r\n\"Smith-Jones, John\"\r\n") << ListForm{};
    QTest::newRow("leading quote is quoted and doubled")
        << QStringList{u"\"hi\" there"_qs} << utf8 << QByteArray("\"\"\"hi\"\" there\"\r\n")
        << ListForm{};
    QTest::newRow("leading and trailing blanks are quoted")
        << QStringList{u" a"_qs, u"b\t"_qs} << utf8 << QByteArray("\" a\"\r\n\"b\t\"\r\n")
        << ListForm{};
    QTest::newRow("first item starting with U+FEFF is quoted, not taken for a mark")
        << QStringList{u"\ufeffa"_qs, u"\ufeffb"_qs} << utf8
        << QByteArray("\"\xef\xbb\xbf"
                      "a\"\r\n\xef\xbb\xbf"
                      "b\r\n")
        << ListForm{};
    QTest::newRow("UTF-8 with mark") << QStringList{u"\ufeffa"_qs} << TextEncoding::Utf8WithMark
                                     << QByteArray("\xef\xbb\xbf\xef\xbb\xbf"
                                                   "a\r\n")
                                     << ListForm{};
    QTest::newRow("UTF-16LE with mark keeps a lone surrogate")
        << QStringList{u"a\xd800"_qs} << TextEncoding::Utf16LE
        << QByteArray("\xff\xfe"
                      "a\0\0\xd8\r\0\n\0",
                      10)
        << ListForm{};
    QTest::newRow("UTF-16BE with mark") << QStringList{u"é"_qs} << TextEncoding::Utf16BE
                                        << QByteArray("\xfe\xff\0\xe9\0\r\0\n", 8) << ListForm{};
    QTest::newRow("Windows-1252") << QStringList{u"café"_qs, u"€"_qs, u"\u0081"_qs}
                                  << TextEncoding::Windows1252
                                  << QByteArray("\x81\r\n\x80\r\ncaf\xe9\r\n") << ListForm{};
    QTest::newRow("reversed") << QStringList{u"b"_qs, u"a"_qs, u"c"_qs} << utf8
                              << QByteArray("c\r\nb\r\na\r\n") << ListForm{true, false};
    QTest::newRow("unique: one of each identical item, a and A both")
        << QStringList{u"b"_qs, u"a"_qs, u"b"_qs, u"B"_qs, u"a"_qs} << utf8
        << QByteArray("a\r\nb\r\nB\r\n") << ListForm{false, true};
    QTest::newRow("reversed and unique") << QStringList{u"a"_qs, u"b"_qs, u"a"_qs} << utf8
                                         << QByteArray("b\r\na\r\n") << ListForm{true, true};
    QTest::newRow("reversed: the item written first is quoted when it looks like a mark")
        << QStringList{u"a"_qs, u"\ufeffz"_qs} << utf8 << QByteArray("\"\xef\xbb\xbfz\"\r\na\r\n")
        << ListForm{true, false};
    // Items of a megabyte and more are written from where they lie, a slice at a time.
    const QString huge = u"\ufeff"_qs + QString(1 << 20, u'é') + u", \"x\""_qs;
    const QByteArray hugeUtf8 = huge.toUtf8();
    QTest::newRow("a huge item, first, quoted and with quotes doubled, among others")
        << QStringList{u"z"_qs, huge, u"a"_qs} << utf8
        << "a\r\n\"" + QByteArray(hugeUtf8).replace("\"", "\"\"") + "\"\r\nz\r\n"
        << ListForm{};
    QTest::newRow("a huge item in Windows-1252 that starts like a UTF-16 mark")
        << QStringList{u"\u00fe\u00ff"_qs + QString(1 << 20, u'é')} << TextEncoding::Windows1252
        << "\"\xfe\xff" + QByteArray(1 << 20, '\xe9') + "\"\r\n"
        << ListForm{};
    QTest::newRow("a huge item in UTF-16")
        << QStringList{QString(1 << 20, u'日'), u"a"_qs} << TextEncoding::Utf16LE
        << QByteArray("\xff\xfe"
                      "a\0\r\0\n\0",
                      8) +
               QByteArray(2 << 20, '\0').replace(QByteArray(2, '\0'), "\xe5\x65") +
               QByteArray("\r\0\n\0", 4)
        << ListForm{};
    QTest::newRow("Windows-1252 that starts like a UTF-16 mark is quoted")
        << QStringList{u"\u00fe\u00ffa"_qs} << TextEncoding::Windows1252
        << QByteArray("\"\xfe\xff"
                      "a\"\r\n")
        << ListForm{};
}

void TestListFileWriter::bytes()
{
    QFETCH(QStringList, items);
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(ListForm, form);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(writeListItems(buffer, listOf(items).stream(form), encoding, error));
    QCOMPARE(buffer.data(), bytes);
}

void TestListFileWriter::encodingFallsBackWithoutLosingACharacter_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<TextEncoding>("preferred");
    QTest::addColumn<TextEncoding>("used");

    QTest::newRow("Windows-1252 keeps what it can write")
        << u"€uro"_qs << TextEncoding::Windows1252 << TextEncoding::Windows1252;
    QTest::newRow("Windows-1252 gives way to UTF-8")
        << u"日本"_qs << TextEncoding::Windows1252 << TextEncoding::Utf8;
    QTest::newRow("Windows-1252 cannot write a lone surrogate either")
        << u"z\xd900"_qs << TextEncoding::Windows1252 << TextEncoding::Utf16LE;
    QTest::newRow("a lone surrogate needs UTF-16")
        << u"z\xdc00"_qs << TextEncoding::Utf8WithMark << TextEncoding::Utf16LE;
    QTest::newRow("UTF-16 writes everything")
        << u"a\xdc00"_qs << TextEncoding::Utf16BE << TextEncoding::Utf16BE;
}

void TestListFileWriter::encodingFallsBackWithoutLosingACharacter()
{
    QFETCH(QString, item);
    QFETCH(TextEncoding, preferred);
    QFETCH(TextEncoding, used);

    const SortedItemList list = listOf({u"plain"_qs, item});
    QCOMPARE(encodingForSaving(list, preferred), used);
    QCOMPARE(firstUnwritableItem(list, preferred), preferred == used ? -1 : 1);
}

void TestListFileWriter::writeThenReadGivesTheSameItems()
{
    // Items made of the characters that the file format treats specially.
    const QString alphabet = u"ab ,\"\t\u00e9\u20ac\u0000x\ufeff\u65e5\xd800"_qs;
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
        for (const TextEncoding encoding :
             {TextEncoding::Utf8, TextEncoding::Utf8WithMark, TextEncoding::Utf16LE,
              TextEncoding::Utf16BE, TextEncoding::Windows1252}) {
            const TextEncoding used = encodingForSaving(list, encoding);
            QString error;
            QVERIFY2(saveListFile(path, list.stream(), used, error), qPrintable(error));
            ItemBatch batch;
            QVERIFY2(readListFile(path, batch, error), qPrintable(error));
            QCOMPARE(textsOf(batch), textsOf(list));
        }
    }
}

void TestListFileWriter::savingAReadFileGivesBackItsBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QByteArray everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n' && byte != ',')
            everyByte += char(byte);
    }
    QTest::newRow("Windows-1252, every byte") << everyByte + "\r\n";
    QTest::newRow("UTF-8 with mark") << QByteArray("\xef\xbb\xbf"
                                                   "caf\xc3\xa9\r\n");
    QTest::newRow("U+FEFF after a UTF-8 mark") << QByteArray("\xef\xbb\xbf\xef\xbb\xbfx\r\n");
    QTest::newRow("quoted U+FEFF first in UTF-8") << QByteArray("\"\xef\xbb\xbfx\"\r\ny\r\n");
    QTest::newRow("quoted Windows-1252 that starts like a UTF-16 mark")
        << QByteArray("\"\xfe\xff"
                      "a\"\r\n\xfe\xff"
                      "b\r\n");
    QTest::newRow("quoted Windows-1252 that starts like a UTF-8 mark")
        << QByteArray("\"\xef\xbb\xbf\xe9\"\r\n");
    QTest::newRow("UTF-16LE with a lone surrogate")
        << QByteArray("\xff\xfe\xff\xfe\0\xd8\r\0\n\0", 10);
    QTest::newRow("UTF-16BE") << QByteArray("\xfe\xff\0a\0\r\0\n", 8);
}

void TestListFileWriter::savingAReadFileGivesBackItsBytes()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.lst"_qs);
    writeBytes(path, bytes);
    ListFileReader reader;
    ItemBatch items;
    QVERIFY(reader.open(path) && reader.readAll(items));
    SortedItemList list;
    list.insert(std::move(items));
    QString error;
    QVERIFY2(saveListFile(path, list.stream(), encodingForSaving(list, *reader.encoding()), error),
             qPrintable(error));
    QCOMPARE(contents(path), bytes);
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
    QVERIFY2(saveListFile(path, listOf(items).stream(), TextEncoding::Utf8, error),
             qPrintable(error));
    QCOMPARE(contents(path), bytes);
}

void TestListFileWriter::saveKeepsModeAndOwner_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherOwner"); // owned by nobody; needs root

    QTest::newRow("group-readable") << 0640 << false;
    QTest::newRow("set-user-ID, set-group-ID and sticky") << 07755 << false;
    QTest::newRow("read-only, written by root") << 0444 << true;
    QTest::newRow("no permissions, written by root") << 0000 << true;
    QTest::newRow("another user's file") << 04754 << true;
}

void TestListFileWriter::saveKeepsModeAndOwner()
{
    QFETCH(int, mode);
    QFETCH(bool, otherOwner);
    if (otherOwner && !isRoot())
        QSKIP("needs root");

    QTemporaryDir dir;
    const QString path = dir.filePath(u"kept.lst"_qs);
    writeBytes(path, "x\r\n");
    const QByteArray nativePath = QFile::encodeName(path);
    if (otherOwner)
        QCOMPARE(::chown(nativePath, UnprivilegedAccess::nobody, UnprivilegedAccess::nobody), 0);
    QCOMPARE(::chmod(nativePath, mode_t(mode)), 0);
    const bool attributed = ::setxattr(nativePath, "user.origin", "kept", 4, 0) == 0;
    const struct stat before = statusOf(path);
    QString error;
    QVERIFY2(saveListFile(path, listOf({u"y"_qs}).stream(), TextEncoding::Utf8, error),
             qPrintable(error));
    const struct stat after = statusOf(path);
    QVERIFY(after.st_ino != before.st_ino); // replaced, not written in place
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(contents(path), QByteArray("y\r\n"));
    char attribute[8] = {};
    if (attributed)
        QCOMPARE(::getxattr(nativePath, "user.origin", attribute, sizeof attribute), 4);
    QCOMPARE(QByteArray(attribute), attributed ? QByteArray("kept") : QByteArray());
}

void TestListFileWriter::saveWritesIntoWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << u"fifo"_qs;
    QTest::newRow("character device") << u"device"_qs;
    QTest::newRow("link to a file, which is replaced") << u"link"_qs;
}

void TestListFileWriter::saveWritesIntoWhatIsNotARegularFile()
{
    QFETCH(QString, kind);

    QTemporaryDir dir;
    QString path = dir.filePath(u"target"_qs);
    const QByteArray nativePath = QFile::encodeName(path);
    QByteArray received;
    std::jthread reader;
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(nativePath, 0600), 0);
        reader = std::jthread([&] { received = contents(path); });
    } else if (kind == u"device") {
        path = u"/dev/null"_qs;
    } else {
        writeBytes(dir.filePath(u"file"_qs), "old\r\n");
        QVERIFY(QFile::link(dir.filePath(u"file"_qs), path));
    }
    const mode_t type = statusOf(path).st_mode & S_IFMT;

    QString error;
    QVERIFY2(saveListFile(path, listOf({u"b"_qs, u"a"_qs}).stream(), TextEncoding::Utf8, error),
             qPrintable(error));
    if (reader.joinable()) {
        reader.join();
        QCOMPARE(received, QByteArray("a\r\nb\r\n"));
    }
    QCOMPARE(statusOf(path).st_mode & S_IFMT, type);
    if (kind == u"link")
        QCOMPARE(contents(dir.filePath(u"file"_qs)), QByteArray("a\r\nb\r\n"));
}

void TestListFileWriter::saveReplacesARegularFileWhereverItLies_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("a new file") << false;
    QTest::newRow("a file") << true;
}

// A file under /dev was once taken for a device: a new one could not be made, and one that
// existed was written in place.
void TestListFileWriter::saveReplacesARegularFileWhereverItLies()
{
    QFETCH(bool, exists);
    QTemporaryDir dir(u"/dev/shm/tst_listfilewriter-XXXXXX"_qs);
    if (!dir.isValid())
        QSKIP("no /dev/shm here");
    const QString path = dir.filePath(u"list.lst"_qs);
    if (exists)
        writeBytes(path, "old\r\n");
    const ino_t before = exists ? statusOf(path).st_ino : 0;
    QString error;
    QVERIFY2(saveListFile(path, listOf({u"b"_qs, u"a"_qs}).stream(), TextEncoding::Utf8, error),
             qPrintable(error));
    QCOMPARE(contents(path), QByteArray("a\r\nb\r\n"));
    QVERIFY(statusOf(path).st_ino != before);
}

void TestListFileWriter::saveWritesInPlaceWhenTheFolderIsClosed_data()
{
    QTest::addColumn<QString>("hindrance");
    QTest::addColumn<QByteArray>("saved"); // the file's bytes after the save
    const QByteArray longer = "new\r\n" + QByteArray(8192, 'n') + "\r\n";
    QTest::newRow("written") << QString() << longer;
    QTest::newRow("a full disk leaves the file as it was") << u"full"_qs << QByteArray("old\r\n");
    QTest::newRow("waits for another save's lock") << u"locked"_qs << longer;
    QTest::newRow("a file with another name, which sees the new content") << u"linked"_qs << longer;
}

namespace
{
// A small ext4 file system on a folder while it lives, which fills up as a disk does (a
// reservation that fails keeps part of its room); needs root and loop devices.
class SmallDisk
{
public:
    SmallDisk(const QString &image, const QString &folder) : m_folder(QFile::encodeName(folder))
    {
        QFile file(image);
        m_mounted = file.open(QIODevice::WriteOnly) && file.resize(4 << 20) &&
                    QProcess::execute(u"mkfs.ext4"_qs, {u"-q"_qs, image}) == 0 &&
                    QProcess::execute(u"mount"_qs, {u"-o"_qs, u"loop"_qs, image, folder}) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount(m_folder.constData());
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    [[nodiscard]] bool isMounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};
} // namespace

// A failed save in place once left the file half written, and on a full disk grew it.
void TestListFileWriter::saveWritesInPlaceWhenTheFolderIsClosed()
{
    QFETCH(QString, hindrance);
    QFETCH(QByteArray, saved);

    QTemporaryDir dir;
    const QString folder = dir.filePath(u"closed"_qs);
    QVERIFY(QDir().mkdir(folder));
    std::optional<SmallDisk> disk;
    if (hindrance == u"full" && !disk.emplace(dir.filePath(u"disk.img"_qs), folder).isMounted())
        QSKIP("mounting a small file system needs root and loop devices");
    // The backup of the old content goes to a cache folder of the test's own.
    const QString cache = dir.filePath(u"cache"_qs);
    QVERIFY(QDir().mkdir(cache));
    QVERIFY(QFile::setPermissions(cache, QFile::Permissions(0x7777)));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    const auto restoreCache = qScopeGuard([] { qunsetenv("XDG_CACHE_HOME"); });
    const QString path = folder + u"/list.lst"_qs;
    writeBytes(path, "old\r\n");
    if (hindrance == u"full") { // no room left for a longer list
        QFile filler(folder + u"/filler"_qs);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
    }
    const QString otherName = dir.filePath(u"other.lst"_qs);
    if (hindrance == u"linked")
        QCOMPARE(
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(otherName).constData()),
            0);
    QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(folder,
                                  QFile::Permissions(hindrance == u"linked" ? 0x7777 : 0x5555)));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7755)));
    // Another save holds the lock for a moment, and finds the file as it left it.
    const int other = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    QCOMPARE(::flock(other, hindrance == u"locked" ? LOCK_EX : LOCK_UN), 0);
    QByteArray whileLocked;
    std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        whileLocked = contents(path);
        ::close(other);
    });
    const struct stat before = statusOf(path);

    QString error;
    bool written;
    {
        const UnprivilegedAccess access;
        written = saveListFile(path, listOf({u"new"_qs, QString(8192, u'n')}).stream(),
                               TextEncoding::Utf8, error);
    }
    QFile::setPermissions(folder, QFile::Permissions(0x7700));
    release.join();
    if (hindrance == u"locked")
        QCOMPARE(whileLocked, QByteArray("old\r\n"));
    QCOMPARE(written, hindrance != u"full");
    if (!written)
        QCOMPARE(error, u"No space left on device"_qs);
    QCOMPARE(contents(path), saved);
    QCOMPARE(statusOf(path).st_ino, before.st_ino);
    if (hindrance == u"linked")
        QCOMPARE(contents(otherName), saved);
    QCOMPARE(QDir(cache + u"/file-sorter/backups"_qs).entryList(QDir::Files), QStringList());
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
        QVERIFY(!saveListFile(path, list.stream(), TextEncoding::Utf8, error));
    }
    QCOMPARE(error, u"File too large"_qs);
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"precious.lst"_qs});
}

void TestListFileWriter::failedSaveSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing folder") << u"gone/list.lst"_qs << u"No such file or directory"_qs;
    QTest::newRow("folder") << u"."_qs << u"Is a directory"_qs;
    QTest::newRow("loop of links") << u"loop"_qs << u"Too many levels of symbolic links"_qs;
    QTest::newRow("full disk") << u"/dev/full"_qs << u"No space left on device"_qs;
    QTest::newRow("read-only file") << u"read-only"_qs << u"Permission denied"_qs;
}

void TestListFileWriter::failedSaveSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QString path = QDir(dir.path()).filePath(kind);
    if (kind == u"loop") {
        QVERIFY(QFile::link(dir.filePath(u"loop2"_qs), path));
        QVERIFY(QFile::link(path, dir.filePath(u"loop2"_qs)));
    } else if (kind == u"read-only") {
        writeBytes(path, "old\r\n");
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));
    }
    QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7755)));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System);

    QString error;
    bool saved;
    {
        const UnprivilegedAccess access;
        saved = saveListFile(path, listOf({u"a"_qs}).stream(), TextEncoding::Utf8, error);
    }
    QVERIFY(!saved);
    QCOMPARE(error, reason);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System), before);
}

namespace
{
// A list file made up as it is read: a line of "日" and more than 2^31 x, then "日x".
class LongLineFile : public QIODevice
{
public:
    static constexpr qint64 xs = (qint64(1) << 31) + 10;
    static constexpr qint64 length = 3 + xs + 2 + 6;

    LongLineFile() { open(QIODevice::ReadOnly); }
    qint64 size() const override { return length; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        static const QByteArray head = "\xe6\x97\xa5";
        static const QByteArray tail = "\r\n\xe6\x97\xa5x\r\n";
        const qint64 start = pos();
        const qint64 count = std::min(maxSize, length - start);
        std::memset(data, 'x', size_t(count));
        for (qint64 index = 0; index < count; ++index) {
            const qint64 at = start + index;
            if (at < 3 || at >= 3 + xs)
                data[index] = at < 3 ? head[at] : tail[at - 3 - xs];
            else if (at < 3 + xs - count) // the rest of this read is all x
                break;
        }
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
};

// Takes what a writer writes, keeping only its length and its first and last bytes.
class Glimpse : public QIODevice
{
public:
    Glimpse() { open(QIODevice::WriteOnly); }
    qint64 length = 0;
    QByteArray head;
    QByteArray tail;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const QByteArrayView bytes(data, size);
        if (head.size() < 16)
            head += bytes.first(std::min<qint64>(size, 16 - head.size()));
        tail = (tail + bytes.last(std::min<qint64>(size, 16)).toByteArray()).right(16);
        length += size;
        return size;
    }
};
} // namespace

void TestListFileWriter::lineLongerThanTwoGigabytesReadsSortsAndWritesWhole()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("takes several gigabytes and minutes under AddressSanitizer");
#endif
    // Longer than any 32-bit length; its first character takes ICU's way to its key, and
    // the short item ties with it on the key prefix.
    ListFileReader reader;
    ItemBatch batch;
    QVERIFY(reader.open(std::make_unique<LongLineFile>()));
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    QCOMPARE(batch.size(), 2);
    SortedItemList list;
    list.insert(std::move(batch));
    Glimpse written;
    QString error;
    QVERIFY(writeListItems(written, list.stream(), TextEncoding::Utf8, error));
    QCOMPARE(written.length, LongLineFile::length);
    QCOMPARE(written.head, QByteArray("\xe6\x97\xa5x\r\n\xe6\x97\xa5xxxxxxx"));
    QCOMPARE(written.tail, QByteArray("xxxxxxxxxxxxxx\r\n"));
}

QTEST_APPLESS_MAIN(TestListFileWriter)
#include "tst_listfilewriter.moc"
