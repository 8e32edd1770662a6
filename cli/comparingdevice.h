#pragma once

#include "listfile/encoding/textencoding.h"

#include <QIODevice>

// Compares the bytes written to it with an original, such as the file that a save would
// replace, and tells the first line where the two differ.
class ComparingDevice : public QIODevice
{
    Q_OBJECT

public:
    // original is open for reading and can seek; its text is in encoding.
    ComparingDevice(QIODevice &original, TextEncoding encoding);

    // Whether the bytes written so far differ from the original's.
    [[nodiscard]] bool differs() const { return m_differsAt >= 0; }
    // Ends the comparison: the original must end where the written bytes end. Returns
    // whether the two are the same.
    bool finish();

    struct Line {
        qint64 number; // counted from 1
        QString text;  // its start as the original has it, without its line end
    };
    // The original's first line that differs; reads the original again.
    [[nodiscard]] Line differingLine();

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    QIODevice &m_original;
    TextEncoding m_encoding;
    qint64 m_compared = 0;
    qint64 m_differsAt = -1;
};
