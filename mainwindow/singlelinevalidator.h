#pragma once

#include <QValidator>

// Keeps a line edit to one line: line ends in typed or pasted text become spaces, so an
// item added from the field never holds a line end.
class SingleLineValidator : public QValidator
{
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString &input, int &position) const override;
};
