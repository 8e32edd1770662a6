#include "commondialog.h"
#include "fakeprompts.h"
#include "filesizelimit.h"
#include "listloader.h"
#include "order/collationlocale.h"
#include "qtprompts.h"
#include "qttranslations.h"
#include "sortedlistbox.h"
#include "sorter.h"
#include "testhelpers.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <sys/stat.h>

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstLoadCancelledShowsTheErrorBox();
    void loadThenSaveWritesTheFileSortedWithoutADialog();
    void theOrderIsTheLanguagesOfTheEnvironment();
    void aRussianListKeepsItsCodePage();
    void saveWithNothingLoadedAsks_data();
    void saveWithNothingLoadedAsks();
    void secondSaveWritesAgainWithoutADialog();
    void loads_data();
    void loads();
    void dialogsOfferTheFilterAndProposeTheCurrentFile();
    void cancelWithAnEarlierNameChangesNothing();
    void loadAndSaveAreRefusedWhileALoadRuns();
    void theListGrowsSortedWhileALoadRuns();
    void selectionStaysOnItsItemWhileALoadRuns();
    void closingDuringALoadEndsTheProgram_data();
    void closingDuringALoadEndsTheProgram();
    void unreadableFileShowsWhyAndKeepsTheList_data();
    void unreadableFileShowsWhyAndKeepsTheList();
    void failedSaveShowsWhyAndLeavesTheOldFileWhole();
    void saveToAFifoThatNoProgramReadsFailsAtOnce();
    void failedSaveToANewNameLeavesSaveAsking();
    void saveAfterAChangeOnDisk_data();
    void saveAfterAChangeOnDisk();
    void saveAfterALoad_data();
    void saveAfterALoad();
    void loadStopsAtTheMemoryBudget();
    void realOpenDialogLoadsATypedPath();
    void realOpenDialogSpeaksTheDesktopsLanguage();
    void filesGivenToTheProgramLoadAsLoadDoes_data();
    void filesGivenToTheProgramLoadAsLoadDoes();
    void droppedFilesLoadAsLoadDoes_data();
    void droppedFilesLoadAsLoadDoes();
    void dropsOfWhatIsNotAFileAreIgnored_data();
    void dropsOfWhatIsNotAFileAreIgnored();
    void aDropWhileALoadRunsIsRefused();

private:
    QString copyOfData(const char *name);
    void load(Sorter &sorter, const QString &path);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakePrompts> m_prompts;
};

namespace
{
const QString title = u"[Zarno] (list) file sorter"_qs;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString bigFile(const QTemporaryDir &dir, int lines)
{
    const QString path = dir.filePath(u"big.lst"_qs);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray text;
    for (int line = lines; line > 0; --line)
        text += "item" + QByteArray::number(line) + "\r\n";
    file.write(text);
    return path;
}

// Drags data onto the window and drops it at the centre of target, through the window as the
// platform delivers a drag from a file manager, which here offers to copy or to move and,
// with Shift held, proposes a move. Returns the action the window took, or Qt::IgnoreAction
// when it refused the drop.
Qt::DropAction dragAndDrop(Sorter &sorter, const QWidget &target, const QMimeData &data)
{
    QWindow *window = sorter.windowHandle();
    const QPoint at = target.mapTo(&sorter, target.rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window, &leave);
        return Qt::IgnoreAction;
    }
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QMimeData *filesData(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}
} // namespace

void TestFileCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompts = std::make_unique<FakePrompts>();
}

QString TestFileCommands::copyOfData(const char *name)
{
    const QString copy = m_dir->filePath(QLatin1StringView(name));
    QFile::copy(QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name), copy);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}

void TestFileCommands::load(Sorter &sorter, const QString &path)
{
    m_prompts->answers.append(path);
    sorter.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 20'000);
}

void TestFileCommands::firstLoadCancelledShowsTheErrorBox()
{
    Sorter sorter(*m_prompts, *m_prompts);
    m_prompts->answers = {u""_qs};
    sorter.Command2->click();
    QCOMPARE(m_prompts->shown, QStringList{u"open"_qs});
    QCOMPARE(m_prompts->errors, QStringList{u"No file selected"_qs});
    QCOMPARE(sorter.windowTitle(), title);
    QCOMPARE(sorter.List1->ListCount(), 0);
}

void TestFileCommands::loadThenSaveWritesTheFileSortedWithoutADialog()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    load(sorter, path);
    QCOMPARE(sorter.windowTitle(), title + u' ' + path);
    QCOMPARE(itemsOf(*sorter.List1), (QStringList{u"apple"_qs, u"fig"_qs, u"pear"_qs}));
    sorter.Command3->click();
    QCOMPARE(m_prompts->shown, QStringList{u"open"_qs});
    QCOMPARE(contents(path), QByteArray("apple\r\nfig\r\npear\r\n"));
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestFileCommands::theOrderIsTheLanguagesOfTheEnvironment()
{
    qunsetenv("LC_ALL");
    qunsetenv("LC_COLLATE");
    qputenv("LANG", "sv_SE.UTF-8");
    Sorter sorter(*m_prompts, *m_prompts, Collation(collationLocaleFromEnvironment().name));
    qunsetenv("LANG");
    const QString path = m_dir->filePath(u"swedish.lst"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(u"ö\nz\nå\na\nä\n"_qs.toUtf8());
    file.close();
    load(sorter, path);
    sorter.Text1->setText(u"zz"_qs);
    sorter.Command1->click();
    const QStringList swedish = {u"a"_qs, u"z"_qs, u"zz"_qs, u"å"_qs, u"ä"_qs, u"ö"_qs};
    QCOMPARE(itemsOf(*sorter.List1), swedish);
    sorter.Command3->click();
    QCOMPARE(contents(path), (swedish.join(u"\r\n"_qs) + u"\r\n"_qs).toUtf8());
}

// A Russian list from Windows was once read as Windows-1252, and saved as UTF-8 of the
// misread letters once an item was added.
void TestFileCommands::aRussianListKeepsItsCodePage()
{
    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qputenv("LANG", "ru_RU.UTF-8");
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = m_dir->filePath(u"russian.lst"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xe1\xe0\xed\xea\n\xe0\xf0\xe1\xf3\xe7\n"); // банк, арбуз
    file.close();
    load(sorter, path);
    qunsetenv("LANG");
    QCOMPARE(itemsOf(*sorter.List1), (QStringList{u"арбуз"_qs, u"банк"_qs}));
    sorter.Command3->click();
    QCOMPARE(contents(path), QByteArray("\xe0\xf0\xe1\xf3\xe7\r\n\xe1\xe0\xed\xea\r\n"));
    sorter.Text1->setText(u"日"_qs);
    sorter.Command1->click();
    sorter.Command3->click();
    QCOMPARE(contents(path), u"арбуз\r\nбанк\r\n日\r\n"_qs.toUtf8());
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestFileCommands::saveWithNothingLoadedAsks_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled: nothing written") << true;
    QTest::newRow("name chosen: written") << false;
}

void TestFileCommands::saveWithNothingLoadedAsks()
{
    QFETCH(bool, cancel);

    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = m_dir->filePath(u"new.lst"_qs);
    m_prompts->answers = {cancel ? QString() : path};
    sorter.Command1->click();
    sorter.Command3->click();
    QCOMPARE(m_prompts->shown, QStringList{u"save"_qs});
    QCOMPARE(QFile::exists(path), !cancel);
    QCOMPARE(m_prompts->errors, cancel ? QStringList{u"No file selected"_qs} : QStringList{});
    QCOMPARE(sorter.windowTitle(), cancel ? title : title + u' ' + path);
    if (!cancel)
        QCOMPARE(contents(path), QByteArray("add to list\r\n"));
}

void TestFileCommands::secondSaveWritesAgainWithoutADialog()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = m_dir->filePath(u"new.lst"_qs);
    m_prompts->answers = {path};
    sorter.Command3->click();
    QCOMPARE(contents(path), QByteArray());
    sorter.Text1->setText(u"b"_qs);
    sorter.Command1->click();
    sorter.Command3->click();
    QCOMPARE(m_prompts->shown, QStringList{u"save"_qs});
    QCOMPARE(contents(path), QByteArray("b\r\n"));
}

void TestFileCommands::loads_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("added"); // typed and added after the loads
    QTest::addColumn<QByteArray>("saved");  // what Save then writes to the last file

    QTest::newRow("empty file stays empty")
        << QStringList{u"empty.lst"_qs} << QStringList{} << QByteArray();
    QTest::newRow("second file merges in")
        << QStringList{u"fruit.lst"_qs, u"comma.lst"_qs} << QStringList{}
        << QByteArray("a\r\napple\r\nb\r\nfig\r\npear\r\n");
    QTest::newRow("same file twice doubles every item")
        << QStringList{u"comma.lst"_qs, u"comma.lst"_qs} << QStringList{}
        << QByteArray("a\r\na\r\nb\r\nb\r\n");
    QTest::newRow("added items are saved sorted in")
        << QStringList{u"fruit.lst"_qs} << QStringList{u"kiwi"_qs, u"banana"_qs}
        << QByteArray("apple\r\nbanana\r\nfig\r\nkiwi\r\npear\r\n");
    QTest::newRow("saved in the encoding of the file last loaded")
        << QStringList{u"fruit.lst"_qs, u"utf16be-bom.lst"_qs} << QStringList{u"日"_qs}
        << QByteArray("\xfe\xff\0a\0p\0p\0l\0e\0\r\0\n\0c\0a\0f\0\xe9\0\r\0\n\0f\0i\0g"
                      "\0\r\0\n\0p\0e\0a\0r\0\r\0\n\0Z\0o\0\xeb\0\r\0\n\x65\xe5\0\r\0\n",
                      66);
    QTest::newRow("Windows-1252 stays Windows-1252")
        << QStringList{u"windows1252.txt"_qs} << QStringList{}
        << QByteArray("\x81\x8d\x8f\x90\x9d\r\n\x80uro\r\ncaf\xe9\r\n");
    QTest::newRow("an item Windows-1252 cannot hold makes the file UTF-8")
        << QStringList{u"windows1252.txt"_qs} << QStringList{u"日"_qs}
        << QByteArray("\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d\r\n\xe2\x82\xacuro\r\n"
                      "caf\xc3\xa9\r\n\xe6\x97\xa5\r\n");
}

void TestFileCommands::loads()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, added);
    QFETCH(QByteArray, saved);

    Sorter sorter(*m_prompts, *m_prompts);
    QString path;
    for (const QString &file : files) {
        path = copyOfData(qPrintable(file));
        load(sorter, path);
        QCOMPARE(sorter.windowTitle(), title + u' ' + path);
    }
    for (const QString &item : added) {
        sorter.Text1->setText(item);
        sorter.Command1->click();
    }
    sorter.Command3->click();
    QCOMPARE(contents(path), saved);
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestFileCommands::dialogsOfferTheFilterAndProposeTheCurrentFile()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    load(sorter, path);
    QCOMPARE(m_prompts->nameFilters,
             (QStringList{u"all supported (*.lst *.txt)"_qs, u"list files (*.lst)"_qs,
                          u"text files (*.txt)"_qs}));
    QCOMPARE(sorter.cd1->Filter(),
             u"all supported|*.lst;*.txt|list files|*.lst|text files|*.txt"_qs);
    load(sorter, path);
    QCOMPARE(m_prompts->proposed, (QStringList{u""_qs, path}));
}

void TestFileCommands::cancelWithAnEarlierNameChangesNothing()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    load(sorter, path);
    load(sorter, QString()); // cancelled
    QCOMPARE(m_prompts->errors, QStringList{u"No file selected"_qs});
    QCOMPARE(sorter.List1->ListCount(), 3);
    QCOMPARE(sorter.windowTitle(), title + u' ' + path);
    QCOMPARE(sorter.cd1->FileName(), path);
}

void TestFileCommands::loadAndSaveAreRefusedWhileALoadRuns()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = bigFile(*m_dir, 300'000);
    m_prompts->answers = {path, path, path};
    sorter.Command2->click();
    QVERIFY(!sorter.Command2->isEnabled());
    QVERIFY(!sorter.Command3->isEnabled());
    sorter.Command2_Click();
    sorter.Command3_Click();
    QCOMPARE(m_prompts->shown.size(), 1);
    sorter.Command1->click(); // Add still works and joins the list being filled
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 60'000);
    QVERIFY(sorter.Command3->isEnabled());
    QCOMPARE(sorter.List1->ListCount(), 300'001);
    QCOMPARE(sorter.List1->List(0), u"add to list"_qs);
    QCOMPARE(sorter.List1->List(1), u"item1"_qs);
    QCOMPARE(sorter.List1->List(300'000), u"item300000"_qs);
}

void TestFileCommands::theListGrowsSortedWhileALoadRuns()
{
    Sorter sorter(*m_prompts, *m_prompts);
    sorter.Text1->setText(u"item2.5"_qs);
    // item1 to item100 first, so that the big load merges into a list that is not empty.
    load(sorter, bigFile(*m_dir, 100));
    m_prompts->answers.append(bigFile(*m_dir, 300'000));
    // "itemN" by N; "item2.5" is 2.5 under numeric collation.
    const auto numberAt = [&](qsizetype position) {
        return sorter.List1->List(position).mid(4).toDouble();
    };
    QList<qsizetype> counts;
    bool unsorted = false;
    QTimer watcher; // runs between the loader's batches, as any event does
    connect(&watcher, &QTimer::timeout, [&] {
        const qsizetype count = sorter.List1->ListCount();
        if (counts.isEmpty() || counts.last() != count)
            counts.append(count);
        for (qsizetype position = 1; position < count; position += 1 + count / 64)
            unsorted |= numberAt(position - 1) > numberAt(position);
        if (counts.size() == 3)
            sorter.Command1->click(); // joins the list being filled
    });
    watcher.start(1);
    sorter.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 60'000);
    watcher.stop();
    QVERIFY(!unsorted);
    QVERIFY2(counts.size() > 3, "items should appear while the file is read");
    QCOMPARE(sorter.List1->ListCount(), 300'101);
    QCOMPARE(sorter.List1->List(3), u"item2"_qs); // item1, item1, item2, item2, item2.5
    QCOMPARE(sorter.List1->List(4), u"item2.5"_qs);
    QCOMPARE(sorter.List1->List(5), u"item3"_qs);
}

void TestFileCommands::selectionStaysOnItsItemWhileALoadRuns()
{
    Sorter sorter(*m_prompts, *m_prompts);
    load(sorter, bigFile(*m_dir, 100)); // item1 to item100
    sorter.List1->setCurrentIndex(sorter.List1->listModel().index(49));
    const auto onItem50 = [&] {
        const QModelIndexList selected = sorter.List1->selectionModel()->selectedRows();
        return sorter.List1->currentIndex().data() == u"item50"_qs && selected.size() == 1 &&
               selected.front() == sorter.List1->currentIndex();
    };
    QVERIFY(onItem50());
    int turns = 0;
    bool moved = false;
    QTimer watcher; // runs between the loader's merges, as any event does
    connect(&watcher, &QTimer::timeout, [&] {
        ++turns;
        moved |= !onItem50();
    });
    watcher.start(1);
    m_prompts->answers.append(bigFile(*m_dir, 300'000));
    sorter.Command2->click();
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 60'000);
    watcher.stop();
    QVERIFY(turns > 1);
    QVERIFY(!moved);
    QVERIFY(onItem50());
}

void TestFileCommands::closingDuringALoadEndsTheProgram_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("large file") << u"large"_qs;
    QTest::newRow("FIFO that no program writes") << u"fifo"_qs;
}

void TestFileCommands::closingDuringALoadEndsTheProgram()
{
    QFETCH(QString, kind);
    QString path = m_dir->filePath(u"fifo"_qs);
    if (kind == u"large")
        path = bigFile(*m_dir, 1'000'000);
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    auto sorter = std::make_unique<Sorter>(*m_prompts, *m_prompts);
    sorter->show();
    m_prompts->answers = {path};
    sorter->Command2->click();
    QTimer::singleShot(50, sorter.get(), &QWidget::close);
    QTimer::singleShot(20'000, qApp, [] { QApplication::exit(1); }); // in case it hangs
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(sorter->List1->ListCount() < 1'000'000);
    QElapsedTimer stopping;
    stopping.start();
    sorter.reset(); // stops the load
    QVERIFY2(stopping.elapsed() < 2'000, "the load should stop at once");
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestFileCommands::unreadableFileShowsWhyAndKeepsTheList_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << u"missing.lst"_qs << u"No such file or directory"_qs;
    QTest::newRow("folder") << u"."_qs << u"Is a directory"_qs;
    // /dev/zero once grew the window until the system ended it.
    QTest::newRow("a line that never ends") << u"/dev/zero"_qs << u"not enough memory"_qs;
}

void TestFileCommands::unreadableFileShowsWhyAndKeepsTheList()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);

    Sorter sorter(*m_prompts, *m_prompts);
    sorter.findChild<ListLoader *>()->setMemoryBudget(64 << 20);
    sorter.Command1->click();
    const QString path = QDir(m_dir->path()).absoluteFilePath(name);
    load(sorter, path);
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY2(m_prompts->errors[0].startsWith(u"Cannot load the list from \""_qs) &&
                 m_prompts->errors[0].contains(reason),
             qPrintable(m_prompts->errors[0]));
    QCOMPARE(sorter.List1->ListCount(), 1);
}

void TestFileCommands::failedSaveShowsWhyAndLeavesTheOldFileWhole()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    load(sorter, path);
    for (int index = 0; index < 20'000; ++index) {
        sorter.Text1->setText(QString::number(index));
        sorter.Command1->click();
    }
    {
        const FileSizeLimit limit(16 * 1024);
        sorter.Command3->click();
    }
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY(m_prompts->errors[0].startsWith(u"Cannot save the list to \""_qs + path));
    QCOMPARE(contents(path), QByteArray("pear\r\napple\r\nfig\r\n"));
    QCOMPARE(sorter.List1->ListCount(), 20'003);
}

void TestFileCommands::saveToAFifoThatNoProgramReadsFailsAtOnce()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = m_dir->filePath(u"fifo"_qs);
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    m_prompts->answers = {path};
    sorter.Command3->click();
    QCOMPARE(m_prompts->errors, QStringList{u"Cannot save the list to \""_qs + path +
                                            u"\": No such device or address"_qs});
}

// Every Save after a failed one to a new name once tried that name again, unasked.
void TestFileCommands::failedSaveToANewNameLeavesSaveAsking()
{
    Sorter sorter(*m_prompts, *m_prompts);
    const QString gone = m_dir->filePath(u"gone/list.lst"_qs);
    const QString path = m_dir->filePath(u"list.lst"_qs);
    m_prompts->answers = {gone, path};
    sorter.Command1->click();
    sorter.Command3->click();
    QCOMPARE(m_prompts->errors.size(), 1);
    sorter.Command3->click();
    QCOMPARE(m_prompts->shown, (QStringList{u"save"_qs, u"save"_qs}));
    QCOMPARE(m_prompts->proposed.constLast(), gone);
    QCOMPARE(contents(path), QByteArray("add to list\r\n"));
}

void TestFileCommands::saveAfterAChangeOnDisk_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("saveAnswer"); // "" cancels, "same" confirms the file's name
    QTest::addColumn<QByteArray>("saved");   // the file's bytes after Save

    QTest::newRow("changed: asks, and a cancel leaves the change")
        << u"append"_qs << u""_qs << QByteArray("pear\r\napple\r\nfig\r\nkiwi\r\n");
    QTest::newRow("changed: writes the name confirmed")
        << u"append"_qs << u"same"_qs << QByteArray("apple\r\nfig\r\npear\r\n");
    QTest::newRow("replaced by another file: asks")
        << u"replace"_qs << u""_qs << QByteArray("plum\r\n");
    QTest::newRow("deleted: written again")
        << u"delete"_qs << u""_qs << QByteArray("apple\r\nfig\r\npear\r\n");
    QTest::newRow("its own earlier save: written over")
        << u"saved here"_qs << u""_qs << QByteArray("apple\r\nfig\r\npear\r\n");
    QTest::newRow("rewritten at the same size and time: asks")
        << u"same size and time"_qs << u""_qs << QByteArray("plum\r\napple\r\nfig\r\n");
    QTest::newRow("its own save rewritten at the same size and time: asks")
        << u"saved here, then same size and time"_qs << u""_qs
        << QByteArray("apple\r\nfig\r\nplum\r\n");
}

// Save once wrote over what another program had added to the file since it was loaded.
void TestFileCommands::saveAfterAChangeOnDisk()
{
    QFETCH(QString, change);
    QFETCH(QString, saveAnswer);
    QFETCH(QByteArray, saved);

    Sorter sorter(*m_prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    load(sorter, path);
    QFile file(path);
    if (change == u"append") {
        QVERIFY(file.open(QIODevice::Append));
        file.write("kiwi\r\n");
        file.close();
    } else if (change == u"replace") {
        const QString other = m_dir->filePath(u"other.lst"_qs);
        QFile plum(other);
        QVERIFY(plum.open(QIODevice::WriteOnly) && plum.write("plum\r\n") == 6);
        plum.close();
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
    } else if (change == u"delete") {
        QVERIFY(file.remove());
    } else if (change.startsWith(u"saved here")) {
        sorter.Command3->click();
    }
    // Another program puts the old time back, as cp -p, rsync -t and touch -r do.
    if (change.endsWith(u"same size and time")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
        QByteArray bytes = file.readAll();
        QVERIFY(file.seek(0) && file.write(bytes.replace("pear", "plum")) == bytes.size());
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
    }
    const qsizetype shownBefore = m_prompts->shown.size();
    m_prompts->answers.append(saveAnswer == u"same" ? path : saveAnswer);
    sorter.Command3->click();
    const bool asked =
        change == u"append" || change == u"replace" || change.endsWith(u"same size and time");
    QCOMPARE(m_prompts->shown.size(), shownBefore + (asked ? 1 : 0));
    QCOMPARE(m_prompts->errors.size(), asked ? 1 + (saveAnswer.isEmpty() ? 1 : 0) : 0);
    if (asked)
        QVERIFY2(m_prompts->errors[0].contains(u"has changed on disk"_qs),
                 qPrintable(m_prompts->errors[0]));
    QCOMPARE(contents(path), saved);
}

void TestFileCommands::saveAfterALoad_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("saveAnswer"); // "" cancels, "same" confirms the file's name
    QTest::addColumn<QByteArray>("saved");   // the file's bytes after Save
    const QByteArray cutShort("\xFF\xFEp\0\r\0\n\0a\0\r\0\n\0z", 15);
    QTest::newRow("read whole: saved without a dialog")
        << QByteArray("pear\r\napple\r\n") << u""_qs << QByteArray("apple\r\npear\r\n");
    QTest::newRow("cut short: asks, and a cancel leaves the file whole")
        << cutShort << u""_qs << cutShort;
    QTest::newRow("cut short: asks, and writes the name confirmed")
        << cutShort << u"same"_qs
        << QByteArray("\xFF\xFE"
                      "a\0\r\0\n\0p\0\r\0\n\0",
                      14);
}

// A file that did not load whole was once written over with the items that had been read.
void TestFileCommands::saveAfterALoad()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, saveAnswer);
    QFETCH(QByteArray, saved);

    const QString path = m_dir->filePath(u"list.lst"_qs);
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    Sorter sorter(*m_prompts, *m_prompts);
    load(sorter, path);
    const bool whole = m_prompts->errors.isEmpty();
    m_prompts->answers.append(saveAnswer == u"same" ? path : saveAnswer);
    sorter.Command3->click();
    QCOMPARE(m_prompts->shown.size(), whole ? 1 : 2);
    if (!whole)
        QCOMPARE(m_prompts->proposed.constLast(), path);
    QCOMPARE(contents(path), saved);
}

void TestFileCommands::loadStopsAtTheMemoryBudget()
{
    Sorter sorter(*m_prompts, *m_prompts);
    sorter.findChild<ListLoader *>()->setMemoryBudget(2 << 20);
    const QString path = bigFile(*m_dir, 200'000);
    const QByteArray before = contents(path);
    load(sorter, path);
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY2(m_prompts->errors[0].contains(u"not enough memory"), qPrintable(m_prompts->errors[0]));
    const qsizetype loaded = sorter.List1->ListCount();
    QVERIFY(loaded > 0 && loaded < 200'000);
    sorter.Command1->click();
    QCOMPARE(sorter.List1->ListCount(), loaded + 1);
    sorter.Command3->click(); // asks for a name, and is cancelled
    QCOMPARE(m_prompts->shown, (QStringList{u"open"_qs, u"save"_qs}));
    QCOMPARE(contents(path), before);
}

void TestFileCommands::realOpenDialogLoadsATypedPath()
{
    QtPrompts prompts;
    Sorter sorter(prompts, *m_prompts);
    const QString path = copyOfData("fruit.lst");
    bool typed = false;
    // Types the path once the dialog is up and has focus, as a user would. The name field's
    // completer pops up while typing and would take the Return, so it is closed first.
    QTimer typist;
    connect(&typist, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *name = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_qs) : nullptr;
        if (!name || !name->isVisible())
            return;
        if (typed) { // the dialog did not take the typed path
            dialog->reject();
            return;
        }
        dialog->activateWindow();
        name->setFocus();
        if (!name->hasFocus())
            return;
        name->clear();
        QTest::keyClicks(name, path);
        name->completer()->popup()->hide();
        QTest::keyClick(name, Qt::Key_Return);
        typed = true;
    });
    typist.start(20);
    sorter.Command2->click();
    typist.stop();
    QVERIFY(typed);
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 20'000);
    QCOMPARE(sorter.windowTitle(), title + u' ' + path);
    QCOMPARE(itemsOf(*sorter.List1), (QStringList{u"apple"_qs, u"fig"_qs, u"pear"_qs}));
}

void TestFileCommands::realOpenDialogSpeaksTheDesktopsLanguage()
{
    if (!installQtTranslations(QLocale(u"de_DE"_qs)))
        QSKIP("Qt's German translations are not installed (qt6-translations-l10n)");
    QtPrompts prompts;
    Sorter sorter(prompts, *m_prompts);
    QStringList buttons;
    QTimer reader;
    connect(&reader, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (auto *button : dialog->findChild<QDialogButtonBox *>()->buttons())
            buttons.append(button->text());
        dialog->reject();
    });
    reader.start(20);
    sorter.Command2->click();
    reader.stop();
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
    QCOMPARE(buttons, (QStringList{u"&Öffnen"_qs, u"Abbrechen"_qs}));
    // The window's own texts stay as they are.
    QCOMPARE(sorter.Command2->text(), u"&Load list"_qs);
}

void TestFileCommands::filesGivenToTheProgramLoadAsLoadDoes_data()
{
    QTest::addColumn<QStringList>("files"); // names in tests/data; "missing.lst" is not there
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("unreadable");
    QTest::addColumn<QByteArray>("saved"); // what Save then writes, unasked, to the last file

    QTest::newRow("one file") << QStringList{u"fruit.lst"_qs}
                              << QStringList{u"apple"_qs, u"fig"_qs, u"pear"_qs} << QStringList{}
                              << QByteArray("apple\r\nfig\r\npear\r\n");
    QTest::newRow("two files merge, the last is the current file")
        << QStringList{u"fruit.lst"_qs, u"comma.lst"_qs}
        << QStringList{u"a"_qs, u"apple"_qs, u"b"_qs, u"fig"_qs, u"pear"_qs} << QStringList{}
        << QByteArray("a\r\napple\r\nb\r\nfig\r\npear\r\n");
    QTest::newRow("an unreadable file says why") << QStringList{u"missing.lst"_qs} << QStringList{}
                                                 << QStringList{u"missing.lst"_qs} << QByteArray();
    QTest::newRow("an unreadable file between two stops none of them")
        << QStringList{u"fruit.lst"_qs, u"missing.lst"_qs, u"comma.lst"_qs}
        << QStringList{u"a"_qs, u"apple"_qs, u"b"_qs, u"fig"_qs, u"pear"_qs}
        << QStringList{u"missing.lst"_qs} << QByteArray("a\r\napple\r\nb\r\nfig\r\npear\r\n");
}

void TestFileCommands::filesGivenToTheProgramLoadAsLoadDoes()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, items);
    QFETCH(QStringList, unreadable);
    QFETCH(QByteArray, saved);

    // Names relative to the working folder, as a shell gives them.
    const QString startFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    for (const QString &file : files)
        copyOfData(qPrintable(file));
    Sorter sorter(*m_prompts, *m_prompts);
    sorter.loadFiles(files);
    QVERIFY(!sorter.Command2->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 20'000);
    QVERIFY(QDir::setCurrent(startFolder));

    const QString last = m_dir->filePath(files.constLast());
    QCOMPARE(itemsOf(*sorter.List1), items);
    QCOMPARE(sorter.windowTitle(), title + u' ' + last);
    QCOMPARE(sorter.cd1->FileName(), last);
    QVERIFY(m_prompts->shown.isEmpty());
    QCOMPARE(m_prompts->errors.size(), unreadable.size());
    for (qsizetype index = 0; index < unreadable.size(); ++index) {
        const QString start = u"Cannot load the list from \""_qs +
                              m_dir->filePath(unreadable[index]) +
                              u"\": No such file or directory."_qs;
        QVERIFY2(m_prompts->errors[index].startsWith(start), qPrintable(m_prompts->errors[index]));
    }
    if (!saved.isNull()) {
        sorter.Command3->click();
        QVERIFY(m_prompts->shown.isEmpty());
        QCOMPARE(contents(last), saved);
    }
}

void TestFileCommands::droppedFilesLoadAsLoadDoes_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("onto the list") << u"List1"_qs;
    QTest::newRow("onto the entry field") << u"Text1"_qs;
    QTest::newRow("onto a button") << u"Command3"_qs;
}

void TestFileCommands::droppedFilesLoadAsLoadDoes()
{
    QFETCH(QString, target);

    Sorter sorter(*m_prompts, *m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    const QString fruit = copyOfData("fruit.lst");
    const QString comma = copyOfData("comma.lst");
    const std::unique_ptr<QMimeData> data(filesData({fruit, comma}));
    // Taken as a copy: a move would have the file manager remove the files.
    QCOMPARE(dragAndDrop(sorter, *sorter.findChild<QWidget *>(target), *data), Qt::CopyAction);
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 20'000);
    QCOMPARE(itemsOf(*sorter.List1),
             (QStringList{u"a"_qs, u"apple"_qs, u"b"_qs, u"fig"_qs, u"pear"_qs}));
    QCOMPARE(sorter.windowTitle(), title + u' ' + comma);
    QCOMPARE(sorter.Text1->text(), u"add to list"_qs); // the names are not typed into it
    QVERIFY(m_prompts->shown.isEmpty());
    QVERIFY(m_prompts->errors.isEmpty());
    QVERIFY(QFile::exists(fruit) && QFile::exists(comma));
}

void TestFileCommands::dropsOfWhatIsNotAFileAreIgnored_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");
    QTest::newRow("text") << u"apple"_qs << QString();
    QTest::newRow("a path as text") << QStringLiteral(TEST_DATA_DIR "/fruit.lst") << QString();
    QTest::newRow("a web address") << QString() << u"https://example.org/fruit.lst"_qs;
}

void TestFileCommands::dropsOfWhatIsNotAFileAreIgnored()
{
    QFETCH(QString, text);
    QFETCH(QString, url);

    Sorter sorter(*m_prompts, *m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    QMimeData data;
    if (!text.isNull())
        data.setText(text);
    if (!url.isNull())
        data.setUrls({QUrl(url)});
    QCOMPARE(dragAndDrop(sorter, *sorter.List1, data), Qt::IgnoreAction);
    QVERIFY(sorter.Command2->isEnabled());
    QCOMPARE(sorter.List1->ListCount(), 0);
    QCOMPARE(sorter.windowTitle(), title);
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestFileCommands::aDropWhileALoadRunsIsRefused()
{
    Sorter sorter(*m_prompts, *m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    const QString big = bigFile(*m_dir, 300'000);
    const std::unique_ptr<QMimeData> data(filesData({copyOfData("fruit.lst")}));
    m_prompts->answers = {big};
    sorter.Command2->click();
    QCOMPARE(dragAndDrop(sorter, *sorter.List1, *data), Qt::IgnoreAction);
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 60'000);
    QCOMPARE(sorter.List1->ListCount(), 300'000);
    QCOMPARE(sorter.windowTitle(), title + u' ' + big);
    // Once the load has ended, the same drop is taken.
    QCOMPARE(dragAndDrop(sorter, *sorter.List1, *data), Qt::CopyAction);
    QTRY_VERIFY_WITH_TIMEOUT(sorter.Command2->isEnabled(), 20'000);
    QCOMPARE(sorter.List1->ListCount(), 300'003);
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
