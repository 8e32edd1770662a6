#include "listfile/format/roundtokenizer.h"

#include "listfile/encoding/codepage.h"
#include "listfile/format/listformat.h"
#include "parallel.h"

#include <algorithm>
#include <atomic>

namespace
{
// How much text in a code page is decoded at a time.
constexpr qsizetype decodeBytes = 256 << 10;

// The line ends in text, counted as the reader ends lines: CR LF, LF or CR.
qsizetype lineEndsIn(QByteArrayView text)
{
    qsizetype count = 0;
    for (qsizetype index = 0; index < text.size(); ++index) {
        if (text[index] == '\n' ||
            (text[index] == '\r' && (index + 1 == text.size() || text[index + 1] != '\n')))
            ++count;
    }
    return count;
}

// Whether piece, whole lines, is text in encoding; decodes it into decoded for a code page.
bool isTextIn(TextEncoding encoding, QByteArrayView piece, QByteArray &decoded)
{
    if (isCodePage(encoding)) {
        decoded.clear();
        return CodePage::of(encoding.codePageKey()).decode(piece, decoded);
    }
    return piece.isValidUtf8();
}
} // namespace

void RoundTokenizer::setThreads(int threads, qsizetype minimumPerThread)
{
    m_pieces.resize(size_t(threads));
    m_decoded.resize(size_t(threads));
    m_minimumPerThread = minimumPerThread;
}

void RoundTokenizer::start(TextEncoding encoding, bool check, bool countLines)
{
    m_encoding = encoding;
    // Text in a code page is always decoded, and so checked.
    m_check = check || isCodePage(encoding);
    m_countLines = countLines;
    m_lines = 0;
    startNewMemory();
}

void RoundTokenizer::startNewMemory()
{
    for (ItemBatch &piece : m_pieces)
        piece = ItemBatch();
}

bool RoundTokenizer::feedDecoded(ItemTokenizer &tokenizer, QByteArrayView text, QByteArray &decoded,
                                 ItemBatch &items) const
{
    // A few hundred kilobytes at a time, cut where no character is, so that the decoded text
    // takes little memory.
    const CodePage &codePage = CodePage::of(m_encoding.codePageKey());
    while (!text.isEmpty()) {
        qsizetype end = text.size();
        if (end > decodeBytes) {
            const auto cut =
                std::find_if(text.begin() + decodeBytes, text.end(), listformat::cutsNoCharacter);
            end = cut == text.end() ? text.size() : cut - text.begin() + 1;
        }
        decoded.clear();
        if (!codePage.decode(text.first(end), decoded))
            return false;
        tokenizer.feed(decoded, items);
        text = text.sliced(end);
    }
    return true;
}

bool RoundTokenizer::feedChecked(ItemTokenizer &tokenizer, QByteArrayView text, QByteArray &decoded,
                                 ItemBatch &items) const
{
    if (isCodePage(m_encoding))
        return feedDecoded(tokenizer, text, decoded, items);
    if (m_check && !isUtf16(m_encoding) && !text.isValidUtf8())
        return false;
    tokenizer.feed(text, items);
    return true;
}

bool RoundTokenizer::tokenizeLongLine(QByteArrayView text, bool last, ItemBatch &items)
{
    if (!feedChecked(m_lineTokenizer, text, m_decoded.front(), m_pieces.front()))
        return false;
    if (last)
        m_lineTokenizer.finish(m_pieces.front());
    if (m_countLines)
        m_lines += lineEndsIn(text);
    items.appendItemsOf(m_pieces.front());
    return true;
}

QString RoundTokenizer::notInEncoding(QByteArrayView lines, qsizetype failedAt) const
{
    // The line is found again, line by line, from the start of the piece that failed.
    qsizetype line = m_lines + lineEndsIn(lines.first(failedAt)) + 1;
    QByteArray scratch;
    const TextEncoding encoding = m_encoding;
    for (qsizetype at = failedAt; at < lines.size(); ++line) {
        qsizetype end = at;
        while (end < lines.size() && !listformat::isLineEnd(lines[end]))
            ++end;
        if (!isTextIn(encoding, lines.sliced(at, end - at), scratch))
            break;
        at = end + (end + 1 < lines.size() && lines[end] == '\r' && lines[end + 1] == '\n' ? 2 : 1);
    }
    return QStringLiteral("line %1 holds bytes that %2 does not define")
        .arg(line)
        .arg(nameOf(encoding));
}

qsizetype RoundTokenizer::tokenizeLines(QByteArrayView lines, bool last, ItemBatch &items)
{
    const int threads =
        std::min(threadCountFor(lines.size(), m_minimumPerThread), int(m_pieces.size()));
    std::vector<qsizetype> starts{0};
    for (int part = 1; part < threads; ++part) {
        const qsizetype end = lines.indexOf('\n', partBegin(lines.size(), threads, part));
        starts.push_back(end < 0 ? lines.size() : std::max(end + 1, starts.back()));
    }
    starts.push_back(lines.size());
    // The file's last item, which may have no line end, is finished by the piece that holds
    // the end of the text: after a long last line, the pieces after it are empty.
    int endingPart = threads - 1;
    while (endingPart > 0 && starts[size_t(endingPart)] == lines.size())
        --endingPart;
    const bool mayHoldLoneSurrogates = isUtf16(m_encoding);
    std::atomic<int> firstFailed = threads;
    runInParallel(threads, [&](int part) {
        // A piece after one that failed would be read again in another encoding, or not at
        // all; those before it are still checked, so that the first failure is found.
        if (firstFailed < part)
            return;
        const qsizetype start = starts[size_t(part)];
        QByteArrayView piece = lines.sliced(start, starts[size_t(part) + 1] - start);
        // Pieces end at line ends, which never cut a character: not of UTF-8, nor of the
        // code pages that list files may be in.
        ItemTokenizer tokenizer(mayHoldLoneSurrogates);
        // The items go to a batch apart from the other parts', which share its cache lines.
        ItemBatch partItems = std::move(m_pieces[size_t(part)]);
        const bool fed = feedChecked(tokenizer, piece, m_decoded[size_t(part)], partItems);
        if (fed && last && part == endingPart)
            tokenizer.finish(partItems);
        m_pieces[size_t(part)] = std::move(partItems);
        if (!fed) {
            int failed = firstFailed;
            while (part < failed && !firstFailed.compare_exchange_weak(failed, part)) {
            }
        }
    });
    if (firstFailed < threads)
        return starts[size_t(firstFailed.load())];
    if (m_countLines)
        m_lines += lineEndsIn(lines);
    for (ItemBatch &piece : m_pieces)
        items.appendItemsOf(piece);
    return -1;
}
