#include "budget.h"

#include "listfile/listfilereader.h"
#include "memory.h"
#include "runs/runstore.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

std::optional<qint64> memoryBudgetNamed(const QString &size)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+(?:\\.[0-9]*)?)([bKMGT%]?)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(size);
    if (!match.hasMatch())
        return std::nullopt;
    const double number = match.captured(1).toDouble();
    const QChar suffix = match.captured(2).isEmpty() ? u'K' : match.captured(2).at(0).toUpper();
    double bytes = 0;
    if (suffix == u'%') {
        const qint64 physical = physicalMemory();
        if (physical < 0 || number > 100)
            return std::nullopt;
        bytes = double(physical) * number / 100;
    } else {
        const int power = QStringLiteral("BKMGT").indexOf(suffix);
        bytes = number * std::pow(1024.0, power);
    }
    if (bytes < 1 || bytes > 9e18)
        return std::nullopt;
    return qint64(bytes);
}

qint64 defaultMemoryBudget()
{
    return availableMemory() / 4 * 3;
}

BudgetPlan budgetPlan(qint64 budget, int mergeThreads)
{
    const qsizetype readBytes =
        std::clamp<qint64>(budget / 16, BudgetPlan::minimumReadBytes, ListFileReader::roundBytes);
    const qint64 inputCopyBytes = std::min(budget / 8, qint64(1) << 30);
    const qint64 items = budget / 3 * 2 - readBytes;
    const qint64 merge = budget / 4;
    return {readBytes,
            inputCopyBytes,
            std::max<qint64>(items, 0),
            std::max<qint64>(items - inputCopyBytes, 0),
            {qsizetype(std::clamp<qint64>(
                 merge / 2 / qint64(RunStore::mergeWidth + 1) / mergeThreads, 16 << 10, 4 << 20)),
             qsizetype(std::clamp<qint64>(merge / 64, 1024, 32 << 10)),
             std::clamp<qint64>(merge / 2 / (mergeThreads + 3), 64 << 10, 64 << 20)}};
}
