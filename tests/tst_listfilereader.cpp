#include "listfile.h"
#include "testhelpers.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

class TestListFileReader : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
    void readingInSmallPiecesGivesTheSameItems_data() { files_data(); }
    void readingInSmallPiecesGivesTheSameItems();
    void invalidUtf8AnywhereMakesTheWholeFileWindows1252_data();
    void invalidUtf8AnywhereMakesTheWholeFileWindows1252();
    void noByteBecomesAReplacementCharacter();
    void hugeLineIsOneItem();
    void codePages_data();
    void codePages();
    void codePageShownByTheBytes_data();
    void codePageShownByTheBytes();
    void sortedListReadsBackInItsCodePage_data();
    void sortedListReadsBackInItsCodePage();
    void smallRoundsKeepEveryItem_data();
    void smallRoundsKeepEveryItem();
    void textNotInTheInputEncodingNamesItsLine_data();
    void textNotInTheInputEncodingNamesItsLine();
    void digestIsOfTheFileAsItLies_data();
    void digestIsOfTheFileAsItLies();
    void deviceThatEndsWithMinusOneIsReadToItsEnd_data();
    void deviceThatEndsWithMinusOneIsReadToItsEnd();
    void unreadableFileFailsWithAReason_data();
    void unreadableFileFailsWithAReason();
    void utf16CutInsideACharacterFailsAndKeepsTheItems();
    void quotesDoNotSplitASurrogatePair();
};

namespace
{
QString dataFile(const char *name)
{
    return QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name);
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(u"list.lst"_qs);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}
} // namespace

Q_DECLARE_METATYPE(TextEncoding)

void TestListFileReader::files_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<TextEncoding>("encoding");

    const auto utf8 = TextEncoding::Utf8;
    QTest::newRow("CR LF lines") << dataFile("fruit.lst")
                                 << QStringList{u"pear"_qs, u"apple"_qs, u"fig"_qs} << utf8;
    QTest::newRow("CR lines") << dataFile("cr.lst")
                              << QStringList{u"pear"_qs, u"apple"_qs, u"fig"_qs} << utf8;
    QTest::newRow("empty file") << dataFile("empty.lst") << QStringList{} << utf8;
    QTest::newRow("comma") << dataFile("comma.lst") << QStringList{u"b"_qs, u"a"_qs} << utf8;
    QTest::newRow("quoted comma") << dataFile("quoted.lst") << QStringList{u"Smith, John"_qs}
                                  << utf8;
    QTest::newRow("UTF-8 without mark")
        << dataFile("utf8.lst") << QStringList{u"café"_qs, u"naïve"_qs} << utf8;
    QTest::newRow("UTF-8 mark is not part of the item")
        << dataFile("utf8-bom.lst") << QStringList{u"café"_qs} << TextEncoding::Utf8WithMark;
    QTest::newRow("UTF-16LE mark") << dataFile("utf16le-bom.lst")
                                   << QStringList{u"café"_qs, u"Zoë"_qs} << TextEncoding::Utf16LE;
    QTest::newRow("UTF-16BE mark") << dataFile("utf16be-bom.lst")
                                   << QStringList{u"café"_qs, u"Zoë"_qs} << TextEncoding::Utf16BE;
    QTest::newRow("Windows-1252, undefined bytes as C1 controls")
        << dataFile("windows1252.txt")
        << QStringList{u"café"_qs, u"€uro"_qs, u"\u0081\u008d\u008f\u0090\u009d"_qs}
        << TextEncoding::Windows1252;
}

void TestListFileReader::files()
{
    QFETCH(QString, path);
    QFETCH(QStringList, items);
    QFETCH(TextEncoding, encoding);

    ListFileReader reader;
    ItemBatch batch;
    QVERIFY(reader.open(path));
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    QCOMPARE(textsOf(batch), items);
    QCOMPARE(reader.encoding(), encoding);
}

void TestListFileReader::readingInSmallPiecesGivesTheSameItems()
{
    QFETCH(QString, path);
    QFETCH(QStringList, items);

    ListFileReader reader;
    QVERIFY(reader.open(path));
    ItemBatch batch;
    int calls = 0;
    while (!reader.atEnd()) {
        if (!reader.read(batch, 1)) {
            QVERIFY2(reader.startedOver(), qPrintable(reader.errorString()));
            batch = ItemBatch(); // not UTF-8 after all: read again from the start
        }
        QVERIFY(++calls < 1000);
    }
    QCOMPARE(textsOf(batch), items);
}

void TestListFileReader::invalidUtf8AnywhereMakesTheWholeFileWindows1252_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("lastItem");
    QTest::addColumn<bool>("utf8");

    // The filler puts the interesting bytes across the reader's internal piece boundary.
    QTest::newRow("valid sequence across a boundary stays UTF-8")
        << QByteArray("\xc3\xa9\r\n") << u"é"_qs << true;
    QTest::newRow("stray byte far into the file") << QByteArray("\xe9\r\n") << u"é"_qs << false;
    QTest::newRow("cut-off sequence at the end") << QByteArray("\xc3") << u"Ã"_qs << false;
}

void TestListFileReader::invalidUtf8AnywhereMakesTheWholeFileWindows1252()
{
    QFETCH(QByteArray, tail);
    QFETCH(QString, lastItem);
    QFETCH(bool, utf8);

    const QByteArray filler = QByteArray(256 * 1024 - 7, 'x') + "\r\n\xc3\xa9\r\n";
    QTemporaryDir dir;
    ItemBatch batch;
    QString error;
    QVERIFY(readListFile(writeFile(dir, filler + tail), batch, error));
    QCOMPARE(batch.size(), 3);
    QCOMPARE(batch.at(1), utf8 ? u"é"_qs : u"Ã©"_qs);
    QCOMPARE(batch.at(2), lastItem);
}

void TestListFileReader::noByteBecomesAReplacementCharacter()
{
    ItemBatch batch;
    QString error;
    QVERIFY(readListFile(dataFile("binary.bin"), batch, error));
    QVERIFY(batch.size() > 1);
    for (qsizetype index = 0; index < batch.size(); ++index)
        QVERIFY(!batch.at(index).contains(QChar::ReplacementCharacter));
}

void TestListFileReader::hugeLineIsOneItem()
{
    QTemporaryDir dir;
    const QByteArray line(30 << 20, 'x');
    ItemBatch batch;
    QString error;
    QVERIFY(readListFile(writeFile(dir, line + "\r\n,"), batch, error));
    QCOMPARE(batch.size(), 3);
    QCOMPARE(batch.at(0).size(), line.size());
}

namespace
{
// A pipe, as far as the reader can tell: it cannot seek.
class PipeLike : public QIODevice
{
public:
    explicit PipeLike(const QByteArray &bytes) : m_bytes(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 length = std::min(maxSize, m_bytes.size() - m_read);
        std::memcpy(data, m_bytes.constData() + m_read, size_t(length));
        m_read += length;
        return length;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};
} // namespace

void TestListFileReader::codePages_data()
{
    QTest::addColumn<QByteArray>("locale"); // LANG, with LC_ALL and LC_CTYPE unset
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("saved"); // sorted, in the encoding read

    QTest::newRow("Russian on a Russian desktop: windows-1251")
        << QByteArray("ru_RU.UTF-8")
        << QByteArray("\xb8\xe6\n\xe1\xe0\xed\xea\n\xe0\xf0\xe1\xf3\xe7\n") << u"windows-1251"_qs
        << QStringList{u"ёж"_qs, u"банк"_qs, u"арбуз"_qs}
        << QByteArray("\xe0\xf0\xe1\xf3\xe7\r\n\xe1\xe0\xed\xea\r\n\xb8\xe6\r\n");
    QTest::newRow("Polish on a Polish desktop: windows-1250")
        << QByteArray("pl_PL.UTF-8") << QByteArray("\x9f\x64\x9f\x62\xb3\x6f\n\xb3\xb9ka\nabak\n")
        << u"windows-1250"_qs << QStringList{u"źdźbło"_qs, u"łąka"_qs, u"abak"_qs}
        << QByteArray("abak\r\n\xb3\xb9ka\r\n\x9f\x64\x9f\x62\xb3\x6f\r\n");
    QTest::newRow("Greek on a Greek desktop: windows-1253")
        << QByteArray("el_GR.UTF-8") << QByteArray("\xf9\xec\xdd\xe3\xe1\n\xdc\xeb\xf6\xe1\n")
        << u"windows-1253"_qs << QStringList{u"ωμέγα"_qs, u"άλφα"_qs}
        << QByteArray("\xdc\xeb\xf6\xe1\r\n\xf9\xec\xdd\xe3\xe1\r\n");
    QTest::newRow("Thai on a Thai desktop: windows-874")
        << QByteArray("th_TH.UTF-8") << QByteArray("\xe4\xa1\xe8\n\xa1\xd2\n") << u"windows-874"_qs
        << QStringList{u"ไก่"_qs, u"กา"_qs} << QByteArray("\xa1\xd2\r\n\xe4\xa1\xe8\r\n");
    QTest::newRow("Japanese on a Japanese desktop: windows-932")
        << QByteArray("ja_JP.UTF-8")
        << QByteArray("\x93\x8c\x8b\x9e\n\x82\xa0\x82\xb3\n\x83\x4a\x83\x69\n") << u"windows-932"_qs
        << QStringList{u"東京"_qs, u"あさ"_qs, u"カナ"_qs}
        << QByteArray("\x82\xa0\x82\xb3\r\n\x83\x4a\x83\x69\r\n\x93\x8c\x8b\x9e\r\n");
    QTest::newRow("a short Windows-1252 list on an English desktop stays windows-1252")
        << QByteArray("en_US.UTF-8") << QByteArray("ni\xf1o\ncaf\xe9\n") << u"windows-1252"_qs
        << QStringList{u"niño"_qs, u"café"_qs} << QByteArray("caf\xe9\r\nni\xf1o\r\n");
    QTest::newRow("no locale: windows-1252")
        << QByteArray() << QByteArray("caf\xe9\n") << u"windows-1252"_qs << QStringList{u"café"_qs}
        << QByteArray("caf\xe9\r\n");
    QTest::newRow("a byte windows-1251 leaves undefined: windows-1252")
        << QByteArray("ru_RU.UTF-8") << QByteArray("\xe0\n\x98\n") << u"windows-1252"_qs
        << QStringList{u"à"_qs, u"\u02dc"_qs} << QByteArray("\x98\r\n\xe0\r\n");
    QTest::newRow("a double-byte character cut at the end: windows-1252")
        << QByteArray("ja_JP.UTF-8") << QByteArray("\x82\xa0\n\x93") << u"windows-1252"_qs
        << QStringList{u"‚\u00a0"_qs, u"“"_qs} << QByteArray("\x82\xa0\r\n\x93\r\n");
}

void TestListFileReader::codePageShownByTheBytes_data()
{
    QTest::addColumn<QByteArray>("locale"); // LANG, with LC_ALL and LC_CTYPE unset
    QTest::addColumn<QString>("name");      // of the list and of its text in UTF-8
    QTest::addColumn<QString>("encoding");

    QTest::newRow("Russian on an English desktop")
        << QByteArray("en_US.UTF-8") << u"ru-windows1251"_qs << u"windows-1251"_qs;
    QTest::newRow("Polish on an English desktop")
        << QByteArray("en_US.UTF-8") << u"pl-windows1250"_qs << u"windows-1250"_qs;
    QTest::newRow("Japanese on an English desktop")
        << QByteArray("en_US.UTF-8") << u"ja-windows932"_qs << u"windows-932"_qs;
    QTest::newRow("German with typographic quotes on a Russian desktop")
        << QByteArray("ru_RU.UTF-8") << u"de-windows1252"_qs << u"windows-1252"_qs;
}

void TestListFileReader::codePageShownByTheBytes()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, name);
    QFETCH(QString, encoding);

    QFile text(dataFile("codepages/") + name + u".utf8"_qs);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QStringList items = QString::fromUtf8(text.readAll()).split(u'\n', Qt::SkipEmptyParts);

    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qputenv("LANG", locale);
    ListFileReader reader;
    ItemBatch batch;
    QVERIFY(reader.open(dataFile("codepages/") + name + u".lst"_qs));
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    qunsetenv("LANG");
    QCOMPARE(nameOf(*reader.encoding()), encoding);
    QCOMPARE(textsOf(batch), items);
}

void TestListFileReader::sortedListReadsBackInItsCodePage_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("windows-1251") << u"windows-1251"_qs
                                  << QStringList{u"привет"_qs, u"яблоко"_qs, u"арбуз"_qs};
    QTest::newRow("windows-1253") << u"windows-1253"_qs
                                  << QStringList{u"καλημέρα"_qs, u"μήλο"_qs, u"θάλασσα"_qs};
    QTest::newRow("windows-1255") << u"windows-1255"_qs
                                  << QStringList{u"שלום"_qs, u"תפוח"_qs, u"ים"_qs};
    QTest::newRow("windows-1256") << u"windows-1256"_qs
                                  << QStringList{u"مرحبا"_qs, u"تفاحة"_qs, u"بحر"_qs};
    QTest::newRow("windows-874") << u"windows-874"_qs
                                 << QStringList{u"สวัสดี"_qs, u"แอปเปิ้ล"_qs, u"ทะเล"_qs,
                                                u"ภาษา"_qs, u"ตลาด"_qs,   u"หนังสือ"_qs};
    QTest::newRow("windows-932") << u"windows-932"_qs
                                 << QStringList{u"こんにちは"_qs, u"りんご"_qs, u"海"_qs};
    QTest::newRow("windows-949") << u"windows-949"_qs
                                 << QStringList{u"안녕하세요"_qs, u"사과"_qs, u"바다"_qs};
    QTest::newRow("windows-950") << u"windows-950"_qs
                                 << QStringList{u"你好"_qs, u"蘋果"_qs, u"海洋"_qs};
}

// A list saved sorted has its Latin items first and the rest beyond the detectors' first
// look, where once they went unseen and the list came back in the user's code page.
void TestListFileReader::sortedListReadsBackInItsCodePage()
{
    QFETCH(QString, encoding);
    QFETCH(QStringList, words);

    SortedItemList list;
    for (int number = 0; number < 2500; ++number)
        list.insert(u"word%1"_qs.arg(number, 5, 10, QLatin1Char('0')));
    for (int copy = 0; copy < 10; ++copy) {
        for (const QString &word : words)
            list.insert(word);
    }
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(writeListItems(written, list.stream(), *textEncodingNamed(encoding), error));

    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qputenv("LANG", "en_US.UTF-8");
    QTemporaryDir dir;
    ListFileReader reader;
    ItemBatch batch;
    QVERIFY(reader.open(writeFile(dir, written.data())));
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    qunsetenv("LANG");
    QCOMPARE(nameOf(*reader.encoding()), encoding);
    QCOMPARE(textsOf(batch), textsOf(list));
}

void TestListFileReader::codePages()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(QStringList, items);
    QFETCH(QByteArray, saved);

    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qputenv("LANG", locale);
    QTemporaryDir dir;
    ListFileReader reader;
    ItemBatch batch;
    QVERIFY(reader.open(writeFile(dir, bytes)));
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    qunsetenv("LANG");
    QCOMPARE(nameOf(*reader.encoding()), encoding);
    QCOMPARE(textsOf(batch), items);

    SortedItemList list;
    list.insert(std::move(batch));
    QString error;
    const auto used = encodingToWrite(itemsToWrite(list), *reader.encoding(), std::nullopt, error);
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    QVERIFY(used && writeListItems(written, list.stream(), *used, error));
    QCOMPARE(written.data(), saved);
}

void TestListFileReader::smallRoundsKeepEveryItem_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<QStringList>("items");

    const QByteArray longLine(100, 'a');
    // Rounds of 16 bytes put the long line in the first of the pieces of the last round.
    QTest::newRow("long last line without a line end")
        << "b\n" + longLine << false << QStringList{u"b"_qs, QString::fromLatin1(longLine)};
    QTest::newRow("last item of a long line, after a comma")
        << "b\n" + longLine + ",c" << false
        << QStringList{u"b"_qs, QString::fromLatin1(longLine), u"c"_qs};
    // A line longer than a round is tokenized as it comes, cut at commas.
    QTest::newRow("a long line of items between commas, a quoted comma among them")
        << QByteArray("zz,yy,\"x, still x\",ww,vv,uu,tt,ss,rr\nq") << false
        << QStringList{u"zz"_qs, u"yy"_qs, u"x, still x"_qs, u"ww"_qs, u"vv"_qs,
                       u"uu"_qs, u"tt"_qs, u"ss"_qs,         u"rr"_qs, u"q"_qs};
    // A long line goes to the tokenizer as it comes, cut between characters.
    const QString accents(100, u'é');
    QTest::newRow("a long line of two-byte characters")
        << "b\n" + accents.toUtf8() + "\r\nc" << false << QStringList{u"b"_qs, accents, u"c"_qs};
    QTest::newRow("a long quoted line") << "\"" + accents.toUtf8() + ", \"\"x\"\"\"\n"
                                        << false << QStringList{accents + u", \"x\""_qs};
    QTest::newRow("a long line in a code page, cut at its blanks")
        << QByteArray("caf\xe9 ").repeated(30) + "\nx" << false
        << QStringList{u"café "_qs.repeated(29) + u"café"_qs, u"x"_qs};
    QTest::newRow("from a pipe") << "b\n" + longLine << true
                                 << QStringList{u"b"_qs, QString::fromLatin1(longLine)};
    QTest::newRow("from a pipe, not UTF-8: read again from its copy")
        << QByteArray("\xef\xbb\xbf") + longLine + "\n\xe9" << true
        << QStringList{u"\u00ef\u00bb\u00bf"_qs + QString::fromLatin1(longLine), u"\u00e9"_qs};
}

// The last item was once dropped when the last line of a file was longer than a round.
void TestListFileReader::smallRoundsKeepEveryItem()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, pipe);
    QFETCH(QStringList, items);

    auto device = std::make_unique<PipeLike>(bytes);
    std::unique_ptr<QIODevice> file = std::move(device);
    if (!pipe) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        file = std::move(buffer);
    }
    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qputenv("LANG", "C"); // so that text in no language's code page is read in Windows-1252
    ListFileReader reader;
    reader.setRoundBytes(16);
    QVERIFY(reader.open(std::move(file)));
    ItemBatch batch;
    QVERIFY2(reader.readAll(batch), qPrintable(reader.errorString()));
    qunsetenv("LANG");
    QCOMPARE(textsOf(batch), items);
}

void TestListFileReader::textNotInTheInputEncodingNamesItsLine_data()
{
    QTest::addColumn<qsizetype>("round");
    QTest::addColumn<qsizetype>("piece");

    QTest::newRow("in one round") << ListFileReader::roundBytes << qsizetype(1 << 20);
    // The fuzzer's find: a long line cut after the CR of a CR LF counted a line too many.
    QTest::newRow("in small rounds, a CR LF cut between them") << qsizetype(16) << qsizetype(3);
}

void TestListFileReader::textNotInTheInputEncodingNamesItsLine()
{
    QFETCH(qsizetype, round);
    QFETCH(qsizetype, piece);

    auto buffer = std::make_unique<QBuffer>();
    buffer->setData("\"a,bc\r\n\"\"x\"\"\r\n \x8d\" c\r\n\"\"z\n");
    buffer->open(QIODevice::ReadOnly);
    ListFileReader reader;
    reader.setRoundBytes(round);
    reader.setInputEncoding(*textEncodingNamed(u"windows-932"));
    ItemBatch batch;
    QVERIFY(reader.open(std::move(buffer)));
    while (reader.read(batch, piece) && !reader.atEnd()) {
    }
    QCOMPARE(reader.errorString(), u"line 3 holds bytes that windows-932 does not define"_qs);
}

void TestListFileReader::digestIsOfTheFileAsItLies_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QByteArray lines;
    for (int index = 0; index < 30'000; ++index)
        lines += QByteArray::number(index * 7919) + "\r\n";
    QTest::newRow("read in rounds") << lines;
    QTest::newRow("read again in a code page") << lines + "caf\xe9\r\n";
}

// Save tells a change on disk that keeps the file's size and time by this digest, so the
// reader's, taken a round at a time, must be that of the file, however it was read.
void TestListFileReader::digestIsOfTheFileAsItLies()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = writeFile(dir, bytes);
    ListFileReader reader;
    reader.setRoundBytes(5000);
    reader.digestContent();
    ItemBatch batch;
    QVERIFY(reader.open(path));
    while (!reader.atEnd())
        QVERIFY(reader.read(batch, 3000) || reader.startedOver());
    const std::optional<quint64> digest = digestOfFile(path);
    QCOMPARE(reader.fileVersion()->digest, digest);
    QVERIFY(digestOfFile(writeFile(dir, bytes + "x")) != digest);
}

void TestListFileReader::deviceThatEndsWithMinusOneIsReadToItsEnd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("nothing") << QByteArray() << QStringList{};
    QTest::newRow("fewer bytes than a mark") << QByteArray("ab") << QStringList{u"ab"_qs};
    QTest::newRow("lines") << QByteArray("b\na\n") << QStringList{u"b"_qs, u"a"_qs};
}

// A finished process, like a closed socket, reads -1 where a file reads 0: no more data.
void TestListFileReader::deviceThatEndsWithMinusOneIsReadToItsEnd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, items);

    auto process = std::make_unique<QProcess>();
    process->start(u"printf"_qs, {u"%s"_qs, QString::fromLatin1(bytes)});
    QVERIFY(process->waitForFinished());
    ListFileReader reader;
    ItemBatch batch;
    QVERIFY2(reader.open(std::move(process)) && reader.readAll(batch),
             qPrintable(reader.errorString()));
    QCOMPARE(textsOf(batch), items);
}

void TestListFileReader::unreadableFileFailsWithAReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << dataFile("no-such-file.lst");
    QTest::newRow("folder") << QStringLiteral(TEST_DATA_DIR);
}

void TestListFileReader::unreadableFileFailsWithAReason()
{
    QFETCH(QString, path);

    ItemBatch batch;
    QString error;
    QVERIFY(!readListFile(path, batch, error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(batch.size(), 0);
}

void TestListFileReader::utf16CutInsideACharacterFailsAndKeepsTheItems()
{
    QTemporaryDir dir;
    ItemBatch batch;
    QString error;
    QVERIFY(!readListFile(writeFile(dir, QByteArray("\xff\xfe"
                                                    "a\0\r\0\n\0b\0c",
                                                    11)),
                          batch, error));
    QVERIFY2(error.startsWith(u"the file ends inside a character"_qs), qPrintable(error));
    QCOMPARE(textsOf(batch), (QStringList{u"a"_qs, u"b"_qs}));
}

void TestListFileReader::quotesDoNotSplitASurrogatePair()
{
    // A closing quote between the halves of a pair leaves one character, as without it.
    QTemporaryDir dir;
    ItemBatch batch;
    QString error;
    QVERIFY(readListFile(
        writeFile(dir, QByteArray("\xff\xfe\"\0\0\xd8\"\0\0\xdc\r\0\n\0\0\xd8\0\xdc", 18)), batch,
        error));
    QCOMPARE(textsOf(batch), (QStringList{u"\U00010000"_qs, u"\U00010000"_qs}));
    QCOMPARE(batch.loneSurrogateCount(), 0);
}

QTEST_APPLESS_MAIN(TestListFileReader)
#include "tst_listfilereader.moc"
