#include "fakeprompts.h"
#include "sortedlistbox.h"
#include "sorter.h"
#include "testhelpers.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

class TestSorter : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void geometry_data();
    void geometry();
    void tabOrder();
    void accessKeys();
    void add_data();
    void add();
    void pastedLinesBecomeOneItem();
    void listKeys_data();
    void listKeys();
    void tabLeavesTheList();
    void addedItemsCanBeScrolledTo();
    void listReadsAsAListOfItems();
    void closingEndsTheProgramWithoutAQuestion();

private:
    FakePrompts m_prompts;
};

// The window's size and its controls' places are given in twips, 15 to a pixel at 96 dots
// per inch.
QRect pixelsOf(const QRect &twips)
{
    return {twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15};
}

void TestSorter::startState()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    const QString caption = u"[Zarno] (list) file sorter"_qs;
    QCOMPARE(sorter.windowTitle(), caption);
    QCOMPARE(sorter.FormTitle, caption);
    QCOMPARE(sorter.List1->ListCount(), 0);
    QCOMPARE(sorter.size(), pixelsOf(QRect(0, 0, 3045, 4050)).size());
    QCOMPARE(sorter.minimumSize(), sorter.maximumSize()); // not resizable
}

void TestSorter::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text"); // the caption or initial text; null for the list
    QTest::addColumn<QRect>("twips");
    QTest::newRow("List1") << u"List1"_qs << QString() << QRect(0, 720, 3015, 2760);
    QTest::newRow("Text1") << u"Text1"_qs << u"add to list"_qs << QRect(600, 3600, 2415, 405);
    QTest::newRow("Command1") << u"Command1"_qs << u"Add"_qs << QRect(0, 3600, 495, 375);
    QTest::newRow("Command2") << u"Command2"_qs << u"&Load list"_qs << QRect(0, 0, 1575, 615);
    QTest::newRow("Command3") << u"Command3"_qs << u"&Save list"_qs << QRect(1560, 0, 1455, 615);
}

void TestSorter::geometry()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);

    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    auto *control = sorter.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), pixelsOf(twips));
    if (!text.isNull())
        QCOMPARE(control->property("text").toString(), text);
}

void TestSorter::tabOrder()
{
    Sorter sorter(m_prompts, m_prompts);
    const QList<QWidget *> order{sorter.List1, sorter.Text1, sorter.Command1, sorter.Command2,
                                 sorter.Command3};
    const auto nextTabStop = [](QWidget *widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    for (qsizetype index = 0; index + 1 < order.size(); ++index)
        QCOMPARE(nextTabStop(order[index]), order[index + 1]);
}

void TestSorter::accessKeys()
{
    Sorter sorter(m_prompts, m_prompts);
    QCOMPARE(sorter.Command2->shortcut(), QKeySequence(Qt::ALT | Qt::Key_L));
    QCOMPARE(sorter.Command3->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
}

void TestSorter::add_data()
{
    QTest::addColumn<QStringList>("texts"); // the field's text at each click; null: unchanged
    QTest::addColumn<QStringList>("items");

    QTest::newRow("right after start") << QStringList{QString()} << QStringList{u"add to list"_qs};
    QTest::newRow("twice gives two equal items")
        << QStringList{QString(), QString()} << QStringList{u"add to list"_qs, u"add to list"_qs};
    QTest::newRow("emptied field adds an empty item at the top")
        << QStringList{u"b"_qs, u""_qs} << QStringList{u""_qs, u"b"_qs};
    QTest::newRow("descending input comes out ascending")
        << QStringList{u"c"_qs, u"b"_qs, u"a"_qs} << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("text is added untrimmed") << QStringList{u"  x "_qs} << QStringList{u"  x "_qs};
    // The field once cut its text at 32,767 characters.
    QTest::newRow("text of any length")
        << QStringList{QString(40'000, u'x')} << QStringList{QString(40'000, u'x')};
}

void TestSorter::add()
{
    QFETCH(QStringList, texts);
    QFETCH(QStringList, items);

    Sorter sorter(m_prompts, m_prompts);
    for (const QString &text : texts) {
        if (!text.isNull())
            sorter.Text1->setText(text);
        QTest::mouseClick(sorter.Command1, Qt::LeftButton);
        QCOMPARE(sorter.Text1->text(), text.isNull() ? u"add to list"_qs : text); // kept
    }
    QCOMPARE(itemsOf(*sorter.List1), items);
}

void TestSorter::pastedLinesBecomeOneItem()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.Text1->clear();
    QApplication::clipboard()->setText(u"one\r\ntwo\nthree"_qs);
    sorter.Text1->paste();
    QTest::mouseClick(sorter.Command1, Qt::LeftButton);
    QCOMPARE(itemsOf(*sorter.List1), QStringList{u"one two three"_qs});
}

void TestSorter::listKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row"); // the current row afterwards, starting from row 1

    QTest::newRow("Home goes to the first item") << int(Qt::Key_Home) << 0;
    QTest::newRow("End goes to the last item") << int(Qt::Key_End) << 3;
    QTest::newRow("Down") << int(Qt::Key_Down) << 2;
    QTest::newRow("Up") << int(Qt::Key_Up) << 0;
}

void TestSorter::listKeys()
{
    QFETCH(int, key);
    QFETCH(int, row);

    Sorter sorter(m_prompts, m_prompts);
    for (const char *item : {"d", "c", "b", "a"})
        sorter.List1->AddItem(QString::fromLatin1(item));
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    sorter.List1->setCurrentIndex(sorter.List1->listModel().index(1));
    QTest::keyClick(sorter.List1, Qt::Key(key));
    QCOMPARE(sorter.List1->currentIndex().row(), row);
    QCOMPARE(sorter.List1->selectionModel()->selectedRows().size(), 1);
}

void TestSorter::tabLeavesTheList()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.List1->AddItem(u"a");
    sorter.List1->AddItem(u"b");
    sorter.show();
    QVERIFY(QTest::qWaitForWindowActive(&sorter));
    sorter.List1->setFocus();
    QTest::keyClick(sorter.List1, Qt::Key_Tab);
    QTRY_VERIFY(sorter.Text1->hasFocus());
}

void TestSorter::addedItemsCanBeScrolledTo()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorter));
    for (int item = 0; item < 50; ++item) {
        sorter.Text1->setText(QString::number(item));
        QTest::mouseClick(sorter.Command1, Qt::LeftButton);
    }
    QScrollBar *bar = sorter.List1->verticalScrollBar();
    bar->setValue(bar->maximum());
    const QRect last = sorter.List1->visualRect(sorter.List1->listModel().index(49));
    QVERIFY(sorter.List1->viewport()->rect().contains(last));
}

void TestSorter::listReadsAsAListOfItems()
{
    Sorter sorter(m_prompts, m_prompts);
    for (const char16_t *item : {u"pear", u"apple", u"fig"})
        sorter.List1->AddItem(item);
    sorter.show();
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(sorter.List1);
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::List);
    QVERIFY(!list->tableInterface()); // no cells, no header cells
    QCOMPARE(list->childCount(), 3);
    QStringList names;
    for (int row = 0; row < list->childCount(); ++row) {
        QAccessibleInterface *item = list->child(row);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(list->indexOfChild(item), row);
        names.append(item->text(QAccessible::Name));
    }
    QCOMPARE(names, (QStringList{u"apple"_qs, u"fig"_qs, u"pear"_qs}));

    // A merge moves the current item down; it is still the one assistive technology reads.
    sorter.List1->setCurrentIndex(sorter.List1->listModel().index(1));
    ItemBatch batch;
    batch.append(u"banana");
    batch.append(u"cherry");
    auto *model = sorter.findChild<ItemListModel *>();
    QVERIFY(model);
    model->addItems(std::move(batch));
    QCOMPARE(list->focusChild()->text(QAccessible::Name), u"fig"_qs);
    QCOMPARE(list->indexOfChild(list->focusChild()), 3);
}

void TestSorter::closingEndsTheProgramWithoutAQuestion()
{
    Sorter sorter(m_prompts, m_prompts);
    sorter.show();
    QTest::mouseClick(sorter.Command1, Qt::LeftButton);
    QTimer::singleShot(0, &sorter, &QWidget::close);
    QTimer::singleShot(10'000, qApp, [] { QApplication::exit(1); }); // in case it hangs
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(m_prompts.shown.isEmpty());
    QVERIFY(m_prompts.errors.isEmpty());
}

QTEST_MAIN(TestSorter)
#include "tst_sorter.moc"
