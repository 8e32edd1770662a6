#pragma once

#include "listfile/encoding/textencoding.h"

#include <QByteArrayView>

#include <functional>
#include <optional>

// Which text encoding a list file uses. A byte-order mark selects UTF-16. A file without one
// is UTF-8 when all of it is valid UTF-8. Any other is read in a code page: the one that the
// charset detectors find in the file's text beyond ASCII when they are sure, else the Windows code
// page of the user's language (see windowsCodePageFromEnvironment()); and when that code page does
// not read all of the file back unchanged, in Windows-1252, whose 256 bytes all do. A UTF-8 mark
// counts only when the rest is valid UTF-8 too; otherwise its three bytes are text like the
// rest.
//
// Each encoding but the last is tried: the reader checks the text in it as it reads, and
// starts over in the next when the text breaks it.
class EncodingDetector
{
public:
    // Reads a file without a byte-order mark in encoding, whatever its bytes: text that
    // encoding does not read is then an error. A UTF-8 mark still selects UTF-8 when the rest
    // is valid UTF-8 too.
    void require(TextEncoding encoding) { m_required = encoding; }
    // Looks at the first bytes of the file; returns how many bytes of byte-order mark to skip
    // before the text. A UTF-16 mark decides at once.
    qsizetype takeStart(QByteArrayView start);
    // The encoding tried does not read the text: moves on to the next one, which the
    // detectors may find in textSample() (see DetectionSample), called only then. Not once
    // the required encoding is tried, which has no next one.
    void rejectTried(const std::function<QByteArray()> &textSample);
    // The encoding tried read all of the text.
    void acceptTried() { m_encoding = m_tried; }

    // Set once decided.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_encoding; }
    // The encoding that the text is read in, tried or decided.
    [[nodiscard]] TextEncoding likelyEncoding() const { return m_tried; }
    // Whether the text must be checked to be in the encoding tried.
    [[nodiscard]] bool isTrying() const { return !m_encoding; }
    // Whether the encoding tried is the required one, so that text it does not read is an
    // error.
    [[nodiscard]] bool isRequired() const
    {
        return m_required && !(isUtf8(m_tried) && !isUtf8(*m_required));
    }
    // Where the text starts, past the byte-order mark of the encoding tried.
    [[nodiscard]] qsizetype textStart() const { return byteOrderMark(m_tried).size(); }

private:
    std::optional<TextEncoding> m_required;
    std::optional<TextEncoding> m_encoding;
    TextEncoding m_tried = TextEncoding::Utf8;
};
