#include "sorter.h"

#include "commondialog.h"
#include "currentfile.h"
#include "filedrop.h"
#include "fileselection.h"
#include "itemlistmodel.h"
#include "listboxaccessible.h"
#include "listloader.h"
#include "prompts.h"
#include "singlelinevalidator.h"
#include "sortedlistbox.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

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

Sorter::Sorter(FileDialogs &dialogs, MessageBoxes &boxes, const Collation &collation,
               QWidget *parent)
    : QWidget(parent), m_list(new ItemListModel(collation, this)),
      // Positions in pixels at 96 dots per inch; Qt scales them on denser screens.
      List1(place(new SortedListBox(*m_list, this), "List1", 0, 48, 201, 184)),
      Text1(place(new QLineEdit(tr("add to list"), this), "Text1", 40, 240, 161, 27)),
      Command1(place(new QPushButton(tr("Add"), this), "Command1", 0, 240, 33, 25)),
      Command2(place(new QPushButton(tr("&Load list"), this), "Command2", 0, 0, 105, 41)),
      Command3(place(new QPushButton(tr("&Save list"), this), "Command3", 104, 0, 97, 41)),
      cd1(new CommonDialog(dialogs)), m_boxes(boxes), m_loader(new ListLoader(*m_list, this)),
      m_currentFile(std::make_unique<CurrentFile>())
{
    installListBoxAccessibility();
    setObjectName(QStringLiteral("sorter"));
    setWindowTitle(title);
    setFixedSize(203, 270);
    Text1->setValidator(new SingleLineValidator(Text1));
    // The list takes items of any length, as files give them; so does the field.
    Text1->setMaxLength(std::numeric_limits<int>::max());
    setTabOrder(List1, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    connect(Command1, &QPushButton::clicked, this, &Sorter::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Sorter::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Sorter::Command3_Click);
    connect(m_loader, &ListLoader::finished, this, &Sorter::loadFinished);
    // Dropped files load as Load list loads them; the entry field takes them too, rather
    // than their names as text.
    auto *drop = new FileDrop(*Command2, this);
    drop->watch(*this);
    drop->watch(*Text1);
    connect(drop, &FileDrop::dropped, this, &Sorter::loadFiles);
    Form_Load();
}

Sorter::~Sorter()
{
    // The loader and the box use the list, which goes after them.
    delete m_loader;
    delete List1;
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
    // Load and Save stay off while files load: both would act on a half-read list.
    if (loading())
        return;
    if (!selectFile(*cd1, FileDialogKind::Open, *this, FormTitle, m_boxes))
        return;
    startLoad();
}

void Sorter::loadFiles(const QStringList &paths)
{
    const bool idle = !loading();
    m_waitingFiles.append(paths);
    if (idle && !m_waitingFiles.isEmpty())
        loadNextFile();
}

bool Sorter::loading() const
{
    return m_loader->isRunning() || !m_waitingFiles.isEmpty();
}

void Sorter::loadNextFile()
{
    takeFile(*cd1, m_waitingFiles.takeFirst(), *this, FormTitle);
    startLoad();
}

void Sorter::startLoad()
{
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    m_loader->start(cd1->FileName());
}

void Sorter::loadFinished(const LoadOutcome &outcome)
{
    // Files still waiting keep Load and Save off, while the box is up too.
    Command2->setEnabled(m_waitingFiles.isEmpty());
    Command3->setEnabled(m_waitingFiles.isEmpty());
    if (const QString message = m_currentFile->loadFinished(outcome); !message.isEmpty())
        m_boxes.showError(this, message);
    if (!m_waitingFiles.isEmpty())
        loadNextFile();
}

void Sorter::Command3_Click()
{
    if (loading())
        return;
    // The dialog proposes the current name, if any.
    bool ask = cd1->FileName().isEmpty() || m_currentFile->mustAskForName();
    if (!ask) {
        const QString change = m_currentFile->changeOnDisk(cd1->FileName());
        if (!change.isEmpty()) {
            m_boxes.showError(this, change);
            ask = true;
        }
    }
    if (ask) {
        if (!selectFile(*cd1, FileDialogKind::Save, *this, FormTitle, m_boxes))
            return;
        m_currentFile->chosenForSaving(cd1->FileName());
    }
    Save_ListBox(cd1->FileName(), *List1);
}

void Sorter::Save_ListBox(const QString &Path, const SortedListBox &Lst)
{
    if (QString message; !m_currentFile->save(Path, Lst.items(), message))
        m_boxes.showError(this, message);
}
