#pragma once

#include <QByteArray>

class ItemBatch;

// Splits the text of a list file into items. An item ends at a comma or a line end (CR LF,
// LF or CR). Spaces and tabs around an unquoted item are dropped. An item that starts with
// a double quote runs to the next lone one, with "" standing for one quote; text after the
// closing quote, up to the delimiter, is appended. A quote never closed ends at the line end.
//
// The text is UTF-8, or WTF-8 when it may hold lone surrogates. It may arrive in pieces of
// any size; items are the same however it is cut.
class ItemTokenizer
{
public:
    // mayHoldLoneSurrogates: the text comes from UTF-16, so items are checked for them.
    explicit ItemTokenizer(bool mayHoldLoneSurrogates = false)
        : m_mayHoldLoneSurrogates(mayHoldLoneSurrogates)
    {
    }

    void feed(QByteArrayView text, ItemBatch &items);
    // Ends the text: a last line without a line end still gives its item.
    void finish(ItemBatch &items);

private:
    enum class State { BeforeItem, Unquoted, Quoted, QuoteInQuoted, AfterQuote };

    void append(QByteArrayView item, ItemBatch &items);
    void appendToItem(QByteArrayView text);
    void endItem(ItemBatch &items);

    State m_state = State::BeforeItem;
    QByteArray m_item;    // the item so far, when it spans pieces or holds quotes
    qsizetype m_keep = 0; // length of m_item that trimming must not touch
    bool m_lineStarted = false;
    bool m_afterCarriageReturn = false;
    bool m_mayHoldLoneSurrogates;
};
