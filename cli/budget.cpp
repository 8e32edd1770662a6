#include "budget.h"

#include "memory.h"

#include <QRegularExpression>

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
