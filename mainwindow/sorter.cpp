#include "sorter.h"

#include "commondialog.h"
#include "fileselection.h"
#include "listfile.h"
#include "listloader.h"
#include "prompts.h"
#include "singlelinevalidator.h"
#include "sortedlistbox.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

namespace
{
const QString title = QStringLiteral("[Zarno] (list) file sorter");

template <typename Control>
Control *place(Control *control, const char *name, int left, int top, int width, int height)
{
    control->setObjectName(QLatin1StringView(name));
    control->setGeometry(left, top, width, height);
    return control;
}
} // namespace

Sorter::Sorter(FileDialogs &dialogs, MessageBoxes &boxes, QWidget *parent)
    : QWidget(parent),
      // Positions in pixels at 96 dots per inch; Qt scales them on denser screens.
      List1(place(new SortedListBox(this), "List1", 0, 48, 201, 184)),
      Text1(place(new QLineEdit(QStringLiteral("add to list"), this), "Text1", 40, 240, 161, 27)),
      Command1(place(new QPushButton(QStringLiteral("Add"), this), "Command1", 0, 240, 33, 25)),
      Command2(
          place(new QPushButton(QStringLiteral("&Load list"), this), "Command2", 0, 0, 105, 41)),
      Command3(
          place(new QPushButton(QStringLiteral("&Save list"), this), "Command3", 104, 0, 97, 41)),
      cd1(new CommonDialog(dialogs)), m_boxes(boxes), m_loader(new ListLoader(List1->model(), this))
{
    setObjectName(QStringLiteral("sorter"));
    setWindowTitle(title);
    setFixedSize(203, 270);
    Text1->setValidator(new SingleLineValidator(Text1));
    setTabOrder(List1, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    connect(Command1, &QPushButton::clicked, this, &Sorter::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Sorter::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Sorter::Command3_Click);
    connect(m_loader, &ListLoader::finished, this, &Sorter::loadFinished);
    Form_Load();
}

Sorter::~Sorter()
{
    delete cd1;
}

void Sorter::Form_Load()
{
    FormTitle = title;
}

void Sorter::Command1_Click()
{
    List1->AddItem(Text1->text());
}

void Sorter::Command2_Click()
{
    // Load and Save stay off while a file loads: both would act on a half-read list.
    if (m_loader->isRunning())
        return;
    if (!selectFile(*cd1, FileDialogKind::Open, *this, FormTitle, m_boxes))
        return;
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    m_fileEncoding = TextEncoding::Utf8;
    m_loader->start(cd1->FileName());
}

void Sorter::loadFinished(const QString &path, const QString &errorString, TextEncoding encoding)
{
    Command2->setEnabled(true);
    Command3->setEnabled(true);
    m_fileEncoding = encoding;
    // Without this a later Save would overwrite a file that never loaded whole.
    if (!errorString.isEmpty())
        m_boxes.showError(this, QStringLiteral("Cannot load the list from \"%1\": %2")
                                    .arg(QDir::toNativeSeparators(path), errorString));
}

void Sorter::Command3_Click()
{
    if (m_loader->isRunning())
        return;
    if (cd1->FileName().isEmpty()) {
        if (!selectFile(*cd1, FileDialogKind::Save, *this, FormTitle, m_boxes))
            return;
        m_fileEncoding = TextEncoding::Utf8; // a new file
    }
    Save_ListBox(cd1->FileName(), *List1);
}

void Sorter::Save_ListBox(const QString &Path, const SortedListBox &Lst)
{
    // An item the file's encoding cannot hold turns the whole file into UTF-8, which keeps
    // every character; later saves stay with what the file now is.
    m_fileEncoding = encodingForSaving(Lst.items(), m_fileEncoding);
    QString errorString;
    if (!saveListFile(Path, Lst.items(), m_fileEncoding, errorString))
        m_boxes.showError(this, QStringLiteral("Cannot save the list to \"%1\": %2")
                                    .arg(QDir::toNativeSeparators(Path), errorString));
}
