#pragma once

#include "listfile/encoding/textencoding.h"
#include "listfile/format/itemtokenizer.h"
#include "storage/itembatch.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

// Turns the text of a list file into items a round at a time: the whole lines of a round on
// all cores, each core a piece of them, and a line longer than a round as it comes, cut at its
// commas. Text in a code page is decoded a few hundred kilobytes at a time, and text that may
// not be in the encoding is checked, as it is tokenized.
class RoundTokenizer
{
public:
    // Tokenizes on up to threads cores, each taking at least minimumPerThread bytes.
    void setThreads(int threads, qsizetype minimumPerThread);
    // Starts the text over in encoding: checked when check is set, its lines counted when
    // countLines is, so that a failure names its line.
    void start(TextEncoding encoding, bool check, bool countLines);

    // Tokenizes lines, whole lines, or the rest of the text when last, and appends their items
    // to items. Returns where the first piece of them that is not text in the encoding starts,
    // having appended none of them, or -1.
    qsizetype tokenizeLines(QByteArrayView lines, bool last, ItemBatch &items);
    // Starts a line longer than a round.
    void startLongLine() { m_lineTokenizer = ItemTokenizer(isUtf16(m_encoding)); }
    // Tokenizes more of it, text cut between characters (see ListFileReader), or the rest of
    // the text when last; false when it is not text in the encoding.
    bool tokenizeLongLine(QByteArrayView text, bool last, ItemBatch &items);
    // What to say of the line, in lines from failedAt on, that the encoding does not read.
    [[nodiscard]] QString notInEncoding(QByteArrayView lines, qsizetype failedAt) const;

    // Gives the items from now on memory of their own (see ListFileReader::startNewMemory()).
    void startNewMemory();
    // Frees what it holds for decoding, once the text has ended.
    void release() { m_decoded.assign(m_decoded.size(), QByteArray()); }

private:
    // Feeds text in a code page, whole characters, to tokenizer, decoded a piece at a time
    // into decoded; false when it is not text in the code page.
    bool feedDecoded(ItemTokenizer &tokenizer, QByteArrayView text, QByteArray &decoded,
                     ItemBatch &items) const;
    // Feeds text, whole characters, to tokenizer, decoded first when in a code page; false
    // when it is checked and is not text in the encoding.
    bool feedChecked(ItemTokenizer &tokenizer, QByteArrayView text, QByteArray &decoded,
                     ItemBatch &items) const;

    TextEncoding m_encoding;
    bool m_check = false;
    bool m_countLines = false;
    qsizetype m_lines = 0; // counted so far
    qsizetype m_minimumPerThread = 1;
    std::vector<ItemBatch> m_pieces;   // one for each core, whose memory the items share
    std::vector<QByteArray> m_decoded; // one for each core: a piece of a code page in UTF-8
    ItemTokenizer m_lineTokenizer;     // of a line longer than a round
};
