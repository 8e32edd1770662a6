#include "listfile/format/itemtokenizer.h"
#include "testhelpers.h"

#include <QTest>

class TestItemTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void items_data();
    void items();
    void itemsDoNotDependOnHowTheTextIsCut_data() { items_data(); }
    void itemsDoNotDependOnHowTheTextIsCut();
};

void TestItemTokenizer::items_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");

    const auto row = [](const char *name, const QString &text, const QStringList &items) {
        QTest::newRow(name) << text << items;
    };
    row("empty text gives no item", u""_qs, {});
    row("unsorted lines come out in file order", u"pear\r\napple\r\nfig\r\n"_qs,
        {u"pear"_qs, u"apple"_qs, u"fig"_qs});
    row("LF alone ends a line", u"a\nb\n"_qs, {u"a"_qs, u"b"_qs});
    row("CR alone ends a line", u"a\rb\r"_qs, {u"a"_qs, u"b"_qs});
    row("mixed line ends", u"a\r\nb\nc\rd"_qs, {u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs});
    row("last line without line end", u"a\r\nb"_qs, {u"a"_qs, u"b"_qs});
    row("comma splits a line", u"b,a\r\n"_qs, {u"b"_qs, u"a"_qs});
    row("items longer than sixteen bytes end at their comma and line end",
        u"abcdefghijklmnopqrstuvwxyz,0123456789abcdefghi\r\nlast"_qs,
        {u"abcdefghijklmnopqrstuvwxyz"_qs, u"0123456789abcdefghi"_qs, u"last"_qs});
    row("empty line is an empty item", u"a\r\n\r\nb\r\n"_qs, {u"a"_qs, u""_qs, u"b"_qs});
    row("only a line end", u"\r\n"_qs, {u""_qs});
    row("empty field", u"a,,b\r\n"_qs, {u"a"_qs, u""_qs, u"b"_qs});
    row("trailing comma", u"a,\r\n"_qs, {u"a"_qs, u""_qs});
    row("trailing comma at the end of the text", u"a,"_qs, {u"a"_qs, u""_qs});
    row("blanks around an unquoted item are dropped", u" \t a b \t,  c  \r\n"_qs,
        {u"a b"_qs, u"c"_qs});
    row("blank line is an empty item", u"   \r\n"_qs, {u""_qs});
    row("quoted item keeps its comma", u"\"Smith, John\"\r\n"_qs, {u"Smith, John"_qs});
    row("quoted item keeps its blanks", u"\"  a \t\"\r\n"_qs, {u"  a \t"_qs});
    row("blanks before a quote are skipped", u"  \"a\"\r\n"_qs, {u"a"_qs});
    row("doubled quote is one quote", u"\"say \"\"hi\"\"\"\r\n"_qs, {u"say \"hi\""_qs});
    row("empty quoted item", u"\"\",x\r\n"_qs, {u""_qs, u"x"_qs});
    row("text after the closing quote is appended", u"\"a,b\"c d  ,e\r\n"_qs,
        {u"a,bc d"_qs, u"e"_qs});
    row("blanks after the closing quote are dropped", u"\"a \"  \r\n"_qs, {u"a "_qs});
    row("unclosed quote ends at the line end", u"\"a,b\r\nc\r\n"_qs, {u"a,b"_qs, u"c"_qs});
    row("unclosed quote at the end of the text", u"\"a "_qs, {u"a "_qs});
    row("quote inside an unquoted item is a character", u"5\" disk\r\n"_qs, {u"5\" disk"_qs});
    row("NUL is a character", QStringView(u"a\0b\r\n", 5).toString(),
        {QStringView(u"a\0b", 3).toString()});
    row("empty line between CR LF lines", u"a\r\n\r\nb"_qs, {u"a"_qs, u""_qs, u"b"_qs});
}

void TestItemTokenizer::items()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);

    ItemTokenizer tokenizer;
    ItemBatch batch;
    tokenizer.feed(text.toUtf8(), batch);
    tokenizer.finish(batch);
    QCOMPARE(textsOf(batch), items);
}

void TestItemTokenizer::itemsDoNotDependOnHowTheTextIsCut()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);

    const QByteArray utf8 = text.toUtf8();
    for (qsizetype cut = 0; cut <= utf8.size(); ++cut) {
        ItemTokenizer tokenizer;
        ItemBatch batch;
        tokenizer.feed(QByteArrayView(utf8).first(cut), batch);
        tokenizer.feed(QByteArrayView(utf8).sliced(cut), batch);
        tokenizer.finish(batch);
        QVERIFY2(textsOf(batch) == items, qPrintable(u"cut at %1"_qs.arg(cut)));
    }
    ItemTokenizer tokenizer;
    ItemBatch batch;
    for (const char byte : utf8)
        tokenizer.feed(QByteArrayView(&byte, 1), batch);
    tokenizer.finish(batch);
    QCOMPARE(textsOf(batch), items);
}

QTEST_APPLESS_MAIN(TestItemTokenizer)
#include "tst_itemtokenizer.moc"
