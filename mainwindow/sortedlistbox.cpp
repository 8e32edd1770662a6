#include "sortedlistbox.h"

SortedListBox::SortedListBox(QWidget *parent) : QListView(parent)
{
    setModel(&m_model);
    // Every row is one line of text: this spares the view measuring a million rows.
    setUniformItemSizes(true);
    setEditTriggers(NoEditTriggers);
}

void SortedListBox::AddItem(QStringView item)
{
    m_model.addItem(item);
}

QString SortedListBox::List(qsizetype position) const
{
    return m_model.items().at(position).toString();
}
