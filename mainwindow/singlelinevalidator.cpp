#include "singlelinevalidator.h"

#include <algorithm>

QValidator::State SingleLineValidator::validate(QString &input, int &position) const
{
    // CR LF is one line end, so it becomes one space and the cursor keeps its place.
    input.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    input.replace(u'\r', u' ');
    input.replace(u'\n', u' ');
    position = std::min(position, int(input.size()));
    return Acceptable;
}
