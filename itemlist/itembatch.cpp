#include "itembatch.h"

#include "itemsorting.h"

void ItemBatch::sort(const Collation &collation)
{
    if (!m_sorted)
        keyAndSort(m_items, collation);
    m_sorted = true;
}
