#include "order/weigheditem.h"

#include "order/collation.h"

void WeighedItem::weigh(const Item &item, const Collation &collation)
{
    if (m_item == &item)
        return;
    m_length = collation.writeDeepWeights(item, m_weights.data(), window);
    m_item = &item;
}
