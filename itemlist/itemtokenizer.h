#pragma once

#include <QString>

class ItemBatch;

// Splits the text of a list file into items. An item ends at a comma or a line end (CR LF,
// LF or CR). Spaces and tabs around an unquoted item are dropped. An item that starts with
// a double quote runs to the next lone one, with "" standing for one quote; text after the
// closing quote, up to the delimiter, is appended. A quote never closed ends at the line end.
//
// The text may arrive in pieces of any size; items are the same however it is cut.
class ItemTokenizer
{
public:
    void feed(QStringView text, ItemBatch &items);
    // Ends the text: a last line without a line end still gives its item.
    void finish(ItemBatch &items);

private:
    enum class State { BeforeItem, Unquoted, Quoted, QuoteInQuoted, AfterQuote };

    void endItem(ItemBatch &items);

    State m_state = State::BeforeItem;
    QString m_item;       // the item so far, when it spans pieces or holds quotes
    qsizetype m_keep = 0; // length of m_item that trimming must not touch
    bool m_lineStarted = false;
    bool m_afterCarriageReturn = false;
};
