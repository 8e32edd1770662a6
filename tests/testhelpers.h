#pragma once

#include "sorteditemlist.h"
#include "storage/itembatch.h"

#include <QStringList>

inline QStringList textsOf(const ItemBatch &batch)
{
    QStringList texts;
    for (qsizetype index = 0; index < batch.size(); ++index)
        texts.append(batch.at(index));
    return texts;
}

inline QStringList textsOf(const SortedItemList &list)
{
    QStringList texts;
    list.forEach([&](QStringView text) { texts.append(text.toString()); });
    return texts;
}

// The items of a list box, read through its ListCount and List operations.
template <typename ListBox> QStringList itemsOf(const ListBox &box)
{
    QStringList items;
    for (qsizetype position = 0; position < box.ListCount(); ++position)
        items.append(box.List(position));
    return items;
}
