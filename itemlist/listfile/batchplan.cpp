#include "listfile/batchplan.h"

#include "listfile/listfilereader.h"
#include "storage/item.h"

#include <algorithm>

qsizetype BatchPlan::expectedItems(qsizetype itemsRead) const
{
    return estimatedItemCount(itemsRead, m_read, m_bytes);
}

qint64 BatchPlan::memoryNeeded(qsizetype itemsRead, qsizetype baseCount) const
{
    const qsizetype items = m_read > 0 ? expectedItems(itemsRead) : m_bytes / 8;
    constexpr auto entry = qint64(sizeof(ItemEntry));
    return 2 * qint64(m_bytes) + 3 * entry * items + entry * baseCount;
}

void BatchPlan::batchRead()
{
    m_read += m_bytes;
    m_bytes = std::max(firstBatchBytes, 2 * m_read);
    if (m_fileSize - m_read - m_bytes < m_bytes)
        m_bytes = std::max<qsizetype>(m_bytes, m_fileSize - m_read);
}

bool readBatch(ListFileReader &reader, ItemBatch &batch, qsizetype bytes,
               const std::stop_token &stop)
{
    constexpr qsizetype round = ListFileReader::roundBytes;
    for (qsizetype done = 0; done < bytes && !reader.atEnd() && !stop.stop_requested();
         done += round) {
        if (!reader.read(batch, std::min(bytes - done, round)))
            return false;
    }
    return true;
}
