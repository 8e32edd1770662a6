#pragma once

#include "listfile/encoding/textencoding.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// How much text the detectors look at: past 8 KiB their answers no longer change.
inline constexpr qsizetype codePageDetectionBytes = 16 << 10;

// The items of a file that hold bytes above ASCII, for the charset detectors, up to
// codePageDetectionBytes of them, taken from parts spread over the file. In a list sorted by
// its text, Latin items come first and the rest may lie anywhere: a look at the file's start
// alone would miss them, and a look at its first such items would see only their first
// letters. The sample holds its items in the order of their bytes, so that a list whose items
// fit in it reads the same however they are ordered.
class DetectionSample
{
public:
    // Starts the next part of the file, partsLeft counting this one; the bytes added from now
    // on come from it. A part that starts inside an item skips to the item's end, and the item
    // that a part ends inside is left out.
    void startPart(int partsLeft, bool insideItem);
    // Takes the next bytes of the part; false once the part has added its share.
    bool add(QByteArrayView bytes);
    // The sample, once the last part has reached the end of the file.
    [[nodiscard]] QByteArray take();

private:
    void addItem(QByteArrayView item);
    bool addToOpenItem(QByteArrayView bytes);
    void endOpenItem();
    [[nodiscard]] bool isFull() const { return m_text.size() >= m_partEnd; }

    QByteArray m_text;
    qsizetype m_partEnd = codePageDetectionBytes; // the size the text may reach in this part
    bool m_skipping = false;                      // to the end of the item the part starts in
    // The start of the item that the bytes so far end inside; an item longer than the sample
    // counts a sample's length at a time.
    QByteArray m_openItem;
};

// The Windows code page that sample, taken by DetectionSample from a file that is not UTF-8,
// is in, when two charset detectors, ICU's and uchardet, together are sure of it; empty when
// they are not. The rule never names another code page for a Western European list in
// windows-1252, at the cost of leaving short Central European and Baltic lists to the user's
// locale.
[[nodiscard]] std::optional<TextEncoding> detectedCodePage(QByteArrayView sample);
