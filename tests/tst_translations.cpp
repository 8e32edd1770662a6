#include "fakeprompts.h"
#include "sorter.h"
#include "windowtranslations.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void theWindowSpeaksEachLanguage_data();
    void theWindowSpeaksEachLanguage();
    void translationsKeepPlaceholdersAndAccessKeys_data();
    void translationsKeepPlaceholdersAndAccessKeys();
    void everyTextIsTranslated_data();
    void everyTextIsTranslated();

private:
    FakePrompts m_prompts;
};

namespace
{
const QString translations = QStringLiteral(TRANSLATIONS_DIR);

// The languages the window speaks, with their script.
void addLanguageRows()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QFontDatabase::WritingSystem>("script");
    for (const char *language : {"de", "fr", "es", "it", "pt_BR", "pl", "cs"})
        QTest::newRow(language) << QString::fromLatin1(language) << QFontDatabase::Latin;
    QTest::newRow("ru") << u"ru"_qs << QFontDatabase::Cyrillic;
    QTest::newRow("uk") << u"uk"_qs << QFontDatabase::Cyrillic;
    QTest::newRow("ja") << u"ja"_qs << QFontDatabase::Japanese;
    QTest::newRow("zh_CN") << u"zh_CN"_qs << QFontDatabase::SimplifiedChinese;
}

QString tsFile(const QString &language)
{
    return translations + u"/file-sorter_"_qs + language + u".ts"_qs;
}

struct Message {
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty for a finished one
};

QList<Message> messagesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            messages.append({context, {}, {}, {}});
        } else if (xml.name() == u"source") {
            messages.last().source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            messages.last().type = xml.attributes().value(u"type"_qs).toString();
            messages.last().translation = xml.readElementText();
        }
    }
    return messages;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression placeholder(QStringLiteral("%[0-9]+"));
    QStringList found;
    for (const QRegularExpressionMatch &match : placeholder.globalMatch(text))
        found.append(match.captured());
    found.sort();
    return found;
}

// The width and height a button's label takes beside what the style leaves it inside the
// frame: Qt draws the label clipped to that room.
bool labelFits(const QPushButton &button, QString &why)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect room =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QSize label = button.fontMetrics().size(Qt::TextShowMnemonic, button.text());
    why = QStringLiteral("%1 \"%2\" needs %3x%4 pixels, its button has room for %5x%6")
              .arg(button.objectName(), button.text())
              .arg(label.width())
              .arg(label.height())
              .arg(room.width())
              .arg(room.height());
    return label.width() <= room.width() && label.height() <= room.height();
}
} // namespace

void TestTranslations::cleanup()
{
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
}

void TestTranslations::theWindowSpeaksEachLanguage_data()
{
    addLanguageRows();
}

// The buttons are measured with their own font: Qt's default on this machine.
void TestTranslations::theWindowSpeaksEachLanguage()
{
    QFETCH(QString, language);
    QFETCH(QFontDatabase::WritingSystem, script);

    // Without a font for the script, a text would be measured in boxes.
    QVERIFY2(!QFontDatabase::families(script).isEmpty(),
             "no font for the script: scripts/setup.sh installs one");
    QVERIFY(installWindowTranslations(QLocale(language)));
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    QCOMPARE(sorter.windowTitle(), u"[Zarno] (list) file sorter"_qs);
    QVERIFY(sorter.Text1->text() != u"add to list"_qs);
    const QList<std::pair<QPushButton *, QString>> buttons = {{sorter.Command1, u"Add"_qs},
                                                              {sorter.Command2, u"&Load list"_qs},
                                                              {sorter.Command3, u"&Save list"_qs}};
    for (const auto &[button, english] : buttons) {
        QVERIFY2(button->text() != english, qPrintable(english + u" is not translated"_qs));
        QString why;
        QVERIFY2(labelFits(*button, why), qPrintable(why));
    }
    // Load and Save keep an access key each, and not the same one.
    QVERIFY(!sorter.Command2->shortcut().isEmpty());
    QVERIFY(!sorter.Command3->shortcut().isEmpty());
    QVERIFY(sorter.Command2->shortcut() != sorter.Command3->shortcut());
}

void TestTranslations::translationsKeepPlaceholdersAndAccessKeys_data()
{
    addLanguageRows();
}

void TestTranslations::translationsKeepPlaceholdersAndAccessKeys()
{
    QFETCH(QString, language);

    const QList<Message> messages = messagesOf(tsFile(language));
    QVERIFY(!messages.isEmpty());
    for (const Message &message : messages) {
        const QString what = language + u": "_qs + message.source;
        QVERIFY2(message.type.isEmpty() && !message.translation.isEmpty(),
                 qPrintable(what + u" is not translated"_qs));
        QVERIFY2(placeholders(message.translation) == placeholders(message.source),
                 qPrintable(what + u" lost or gained a placeholder"_qs));
        QVERIFY2(message.translation.count(u'&') == message.source.count(u'&'),
                 qPrintable(what + u" lost or gained an access key"_qs));
        QVERIFY2(message.translation.count(u"\n\n"_qs) == message.source.count(u"\n\n"_qs),
                 qPrintable(what + u" has other paragraphs"_qs));
    }
}

void TestTranslations::everyTextIsTranslated_data()
{
    addLanguageRows();
}

// What lupdate finds in the sources today: a text added or changed since the translations
// were last brought up to date shows as unfinished, and one gone as vanished.
void TestTranslations::everyTextIsTranslated()
{
    QFETCH(QString, language);

    QTemporaryDir dir;
    const QString copy = dir.filePath(u"copy.ts"_qs);
    QVERIFY(QFile::copy(tsFile(language), copy));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE),
                  {QStringLiteral(SOURCE_DIR "/mainwindow"),
                   QStringLiteral(SOURCE_DIR "/filecommands"), u"-extensions"_qs, u"cpp,h"_qs,
                   u"-locations"_qs, u"none"_qs, u"-silent"_qs, u"-ts"_qs, copy});
    QVERIFY(lupdate.waitForFinished(60'000));
    QCOMPARE(lupdate.exitCode(), 0);
    for (const Message &message : messagesOf(copy))
        QVERIFY2(message.type.isEmpty(),
                 qPrintable(language + u": "_qs + message.source + u" is "_qs + message.type +
                            u": update and translate with the update_translations target"_qs));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
