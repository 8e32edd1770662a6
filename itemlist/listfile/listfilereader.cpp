#include "listfile/listfilereader.h"

#include "listfile/codepage.h"
#include "listfile/handledevice.h"
#include "listfile/itemtokenizer.h"
#include "listfile/listformat.h"
#include "memory.h"
#include "parallel.h"

#include <QFile>

#include <atomic>
#include <cstring>
#include <new>

namespace
{
// How much of a file's start a charset detector looks at.
constexpr qsizetype detectionBytes = 256 << 10;
// How much text in a code page is decoded at a time.
constexpr qsizetype decodeBytes = 256 << 10;

// The length of the whole lines at the start of text: up to its last line end, but not a CR
// at its very end, which may be the first half of a CR LF.
qsizetype wholeLines(QByteArrayView text)
{
    for (qsizetype index = text.size() - 1; index >= 0; --index) {
        if (text[index] == '\n' || (text[index] == '\r' && index + 1 < text.size()))
            return index + 1;
    }
    return 0;
}

// Where the first line end at or after from in text ends, or -1 when there is none yet: a
// CR at the very end of text may be the first half of a CR LF.
qsizetype lineEndAfter(QByteArrayView text, qsizetype from)
{
    for (qsizetype index = from; index < text.size(); ++index) {
        if (text[index] == '\n')
            return index + 1;
        if (text[index] == '\r') {
            if (index + 1 == text.size())
                return -1;
            return text[index + 1] == '\n' ? index + 2 : index + 1;
        }
    }
    return -1;
}

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
        return CodePage::of(encoding).decode(piece, decoded);
    }
    return piece.isValidUtf8();
}
} // namespace

bool ListFileReader::open(const QString &path, std::stop_token stop)
{
    QString reason;
    platform::FileHandle handle = platform::openForReading(path, reason);
    platform::FileStatus status;
    if (!handle.isOpen() || !platform::fileStatus(handle.get(), status, reason))
        return fail(reason);
    m_fileStatus = status;
    if (status.kind != platform::FileStatus::Kind::Regular)
        return open(std::make_unique<HandleDevice>(std::move(handle), QIODevice::ReadOnly,
                                                   std::move(stop)));
    auto file = std::make_unique<QFile>();
    if (!file->open(handle.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return fail(file->errorString());
    handle.release();
    return open(std::move(file));
}

bool ListFileReader::open(std::unique_ptr<QIODevice> device)
{
    m_device = std::move(device);
    const int threads = threadCountFor(m_roundBytes, m_minimumPerThread);
    m_pieces.resize(size_t(threads));
    m_decoded.resize(size_t(threads));
    // The first bytes tell whether the file has a byte-order mark. A device that cannot seek
    // is kept from its first byte, in case it has to be read again.
    QByteArray head(3, Qt::Uninitialized);
    qsizetype got = 0;
    for (qint64 length = 1; got < head.size() && length > 0; got += length) {
        length = readRaw(head.data() + got, head.size() - got);
        if (length < 0)
            return fail(readFailure());
    }
    head.truncate(got);
    const qsizetype markLength = m_detector.takeStart(head);
    if (!restartAt(markLength))
        return false;
    m_phase = Phase::Reading;
    return true;
}

bool ListFileReader::restartAt(qsizetype textStart)
{
    if (m_device->isSequential()) {
        m_copyAt = textStart;
        if (!m_detector.isTrying() && m_copyAt == m_copy.size())
            m_copy.clear();
    } else if (!m_device->seek(textStart)) {
        return fail(readFailure());
    }
    m_position = textStart;
    m_decoder = TextDecoder(m_detector.likelyEncoding());
    m_text.truncate(0); // its room stays for the text read again
    m_lines = 0;
    m_inLongLine = false;
    return true;
}

void ListFileReader::setRoundBytes(qsizetype bytes)
{
    m_roundBytes = bytes;
    m_minimumPerThread = std::max<qsizetype>(bytes / 4, 1);
}

void ListFileReader::setInputEncoding(TextEncoding encoding)
{
    m_detector.require(encoding);
}

qint64 ListFileReader::size() const
{
    if (!m_device)
        return 0;
    return m_device->isSequential() ? -1 : m_device->size();
}

bool ListFileReader::fail(const QString &reason)
{
    m_errorString = reason;
    m_phase = Phase::Failed;
    return false;
}

qint64 ListFileReader::readRaw(char *into, qint64 size)
{
    // What a device that cannot seek gave is read again from its copy, until the copy's end.
    if (m_copyAt < m_copy.size()) {
        const qint64 length = std::min<qint64>(size, m_copy.size() - m_copyAt);
        if (!m_copy.read(m_copyAt, into, length)) {
            m_copyFailed = true;
            return -1;
        }
        m_copyAt += length;
        if (!m_detector.isTrying() && m_copyAt == m_copy.size()) {
            m_copy.clear();
            m_copyAt = 0;
        }
        m_position += length;
        return length;
    }
    const qint64 length = m_device->read(into, size);
    if (length > 0) {
        if (m_device->isSequential() && m_detector.isTrying()) {
            if (!m_copy.append(QByteArrayView(into, length))) {
                m_copyFailed = true;
                return -1;
            }
            m_copyAt = m_copy.size();
        }
        m_position += length;
    }
    return length;
}

QString ListFileReader::readFailure() const
{
    return m_copyFailed ? m_copy.errorString() : m_device->errorString();
}

QByteArray ListFileReader::startOfFile()
{
    if (m_device->isSequential()) {
        QByteArray start(std::min(m_copy.size(), qint64(detectionBytes)), Qt::Uninitialized);
        return m_copy.read(0, start.data(), start.size()) ? start : QByteArray();
    }
    if (!m_device->seek(0))
        return {};
    return m_device->read(detectionBytes);
}

bool ListFileReader::startOver()
{
    if (!m_detector.rejectTried(startOfFile()))
        return fail(m_errorString);
    m_startedOver = true;
    startNewMemory();
    restartAt(m_detector.textStart());
    return false;
}

void ListFileReader::startNewMemory()
{
    for (ItemBatch &piece : m_pieces)
        piece = ItemBatch();
}

bool ListFileReader::read(ItemBatch &items, qsizetype maxBytes)
{
    m_startedOver = false;
    try {
        for (qsizetype done = 0; done < maxBytes && m_phase == Phase::Reading;) {
            const qint64 before = m_position;
            if (!readRound(items, std::min(maxBytes - done, m_roundBytes)))
                return false;
            done += std::max<qint64>(m_position - before, 1);
        }
    } catch (const std::bad_alloc &) {
        return fail(notEnoughMemory());
    }
    return m_phase != Phase::Failed;
}

bool ListFileReader::readAll(ItemBatch &items, const std::function<void(qint64)> &progress)
{
    const qsizetype before = items.size();
    const qint64 fileSize = size();
    bool reserved = false;
    while (!atEnd()) {
        if (!read(items, m_roundBytes)) {
            if (!startedOver())
                return false;
            // The text of a batch of this file's items alone goes too.
            if (before == 0)
                items = ItemBatch();
            else
                items.truncate(before);
            continue;
        }
        // The first piece shows about how many items the file holds.
        if (!reserved && fileSize > 0) {
            try {
                items.reserve(before +
                              estimatedItemCount(items.size() - before, position(), fileSize));
            } catch (const std::bad_alloc &) {
                // Then the list grows as it goes.
            }
            reserved = true;
        }
        if (progress)
            progress(position());
    }
    return true;
}

bool ListFileReader::holdsTooMuch(qsizetype moreText) const
{
    // The text of a round or two, which reading any file takes, is not held to the limit.
    const qint64 held = qint64(m_text.size()) + moreText + m_copy.memoryUse();
    return held > 6 * m_roundBytes && held > m_memoryLimit;
}

bool ListFileReader::readRound(ItemBatch &items, qsizetype maxBytes)
{
    // The text is read straight after what is left of the last round; UTF-16 is decoded
    // there, a code page a piece at a time as it is tokenized.
    const qsizetype carried = m_text.size();
    const bool inPlace = !isUtf16(m_decoder.encoding());
    // Decoded UTF-16 takes up to three bytes for each two read.
    const qsizetype perByte = inPlace ? 1 : 2;
    if (holdsTooMuch(maxBytes * perByte))
        return fail(notEnoughMemory());
    // A line longer than a round would have the buffer grow and copy it over and over: room
    // for the rest of the file at once, which is all the line may still need, or for a
    // device of unknown length, twice the room so far.
    if (carried >= m_roundBytes) {
        const qint64 total = size();
        const qint64 left =
            total >= 0 ? std::max<qint64>(total - m_position, 0) : m_text.capacity() / perByte;
        const qsizetype needed = carried + qsizetype(left) * perByte + m_roundBytes;
        if (m_text.capacity() < needed && !holdsTooMuch(needed - carried))
            m_text.reserve(needed);
    }
    QByteArray &bytes = inPlace ? m_text : m_chunk;
    const qsizetype start = inPlace ? carried : 0;
    bytes.resize(start + maxBytes);
    const qint64 length = readRaw(bytes.data() + start, maxBytes);
    if (length < 0)
        return fail(readFailure());
    bytes.resize(start + length);
    const bool last = length == 0;
    if (last)
        m_decoder.finish(m_text);
    else if (!inPlace)
        m_decoder.decode(m_chunk, m_text);

    // Whole lines are tokenized now, on all cores, the rest carried over; the carried text
    // holds no line end, so a long line is not searched over again. A line longer than a
    // round is tokenized as it comes, up to its last comma, so that its items need not wait
    // for its end.
    const QByteArrayView text(m_text);
    qsizetype consumed = 0;
    // After the first cut, the text carried over is what followed the last comma: none is
    // searched for in it again.
    qsizetype commaFrom = carried;
    if (!m_inLongLine && !last && text.size() > maxBytes && wholeLines(text.sliced(carried)) == 0) {
        m_inLongLine = true;
        m_lineTokenizer = ItemTokenizer(isUtf16(m_decoder.encoding()));
        commaFrom = 0;
    }
    if (m_inLongLine) {
        const qsizetype end = last ? text.size() : lineEndAfter(text, carried);
        const qsizetype comma = text.sliced(commaFrom).lastIndexOf(',');
        consumed = end >= 0 ? end : comma < 0 ? 0 : commaFrom + comma + 1;
        if (!tokenizeLongLine(text.first(consumed), last)) {
            if (m_detector.isRequired())
                return fail(notInEncoding(text.first(consumed), 0));
            return startOver();
        }
        m_inLongLine = end < 0;
        items.appendItemsOf(m_pieces.front());
    }
    if (!m_inLongLine) {
        const QByteArrayView rest = text.sliced(consumed);
        const qsizetype restCarried = std::max<qsizetype>(carried - consumed, 0);
        const qsizetype newLines = wholeLines(rest.sliced(restCarried));
        const qsizetype cut = last ? rest.size() : newLines == 0 ? 0 : restCarried + newLines;
        const QByteArrayView lines = rest.first(cut);
        if (const qsizetype failedAt = tokenizeInParallel(lines, last); failedAt >= 0) {
            if (m_detector.isRequired())
                return fail(notInEncoding(lines, failedAt));
            return startOver();
        }
        if (m_detector.isRequired())
            m_lines += lineEndsIn(lines);
        for (ItemBatch &piece : m_pieces)
            items.appendItemsOf(piece);
        consumed += cut;
    }
    // The rest moves to the front; the buffer keeps its room for the next round
    // (QByteArray::remove() would leave the room in front unused, and grow).
    std::memmove(m_text.data(), m_text.constData() + consumed, size_t(m_text.size() - consumed));
    m_text.truncate(m_text.size() - consumed);

    if (last) {
        if (m_detector.isTrying())
            m_detector.acceptTried();
        m_device.reset();
        m_text = QByteArray();
        m_chunk = QByteArray();
        m_copy.clear();
        m_decoded.assign(m_decoded.size(), QByteArray());
        if (m_decoder.endedInsideACharacter())
            return fail(QStringLiteral("the file ends inside a character: its last byte is "
                                       "half of a UTF-16 character"));
        m_phase = Phase::Done;
    }
    return true;
}

bool ListFileReader::feedDecoded(ItemTokenizer &tokenizer, QByteArrayView text, QByteArray &decoded,
                                 ItemBatch &items) const
{
    // A few hundred kilobytes at a time, cut at a line end or a comma, which never cut a
    // character, so that the decoded text takes little memory.
    const CodePage &codePage = CodePage::of(m_decoder.encoding());
    while (!text.isEmpty()) {
        qsizetype end = text.size();
        if (end > decodeBytes) {
            const auto cut = std::find_if(text.begin() + decodeBytes, text.end(),
                                          [](char c) { return c == '\n' || c == ','; });
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

bool ListFileReader::tokenizeLongLine(QByteArrayView text, bool last)
{
    // Cut at a comma or a line end, which never cut a character.
    const TextEncoding encoding = m_decoder.encoding();
    if (isCodePage(encoding)) {
        if (!feedDecoded(m_lineTokenizer, text, m_decoded.front(), m_pieces.front()))
            return false;
    } else if (!isUtf16(encoding) && (m_detector.isTrying() || m_detector.isRequired()) &&
               !text.isValidUtf8()) {
        return false;
    } else {
        m_lineTokenizer.feed(text, m_pieces.front());
    }
    if (last)
        m_lineTokenizer.finish(m_pieces.front());
    if (m_detector.isRequired())
        m_lines += lineEndsIn(text);
    return true;
}

QString ListFileReader::notInEncoding(QByteArrayView lines, qsizetype failedAt) const
{
    // The line is found again, line by line, from the start of the piece that failed.
    qsizetype line = m_lines + lineEndsIn(lines.first(failedAt)) + 1;
    QByteArray scratch;
    const TextEncoding encoding = m_detector.likelyEncoding();
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

qsizetype ListFileReader::tokenizeInParallel(QByteArrayView lines, bool last)
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
    const TextEncoding encoding = m_detector.likelyEncoding();
    const bool mayHoldLoneSurrogates = isUtf16(encoding);
    // Text in a code page is decoded here; UTF-8 is checked while it is only tried.
    const bool check = isCodePage(encoding) || m_detector.isTrying() || m_detector.isRequired();
    std::vector<char> failed(size_t(threads), false);
    std::atomic<bool> anyFailed = false;
    runInParallel(threads, [&](int part) {
        const qsizetype start = starts[size_t(part)];
        QByteArrayView piece = lines.sliced(start, starts[size_t(part) + 1] - start);
        // Pieces end at line ends, which never cut a character: not of UTF-8, nor of the
        // code pages that list files may be in.
        ItemTokenizer tokenizer(mayHoldLoneSurrogates);
        if (isCodePage(encoding)) {
            if (anyFailed ||
                !feedDecoded(tokenizer, piece, m_decoded[size_t(part)], m_pieces[size_t(part)])) {
                failed[size_t(part)] = true;
                anyFailed = true;
                return;
            }
        } else {
            if (check && !isUtf16(encoding) && !piece.isValidUtf8()) {
                failed[size_t(part)] = true;
                anyFailed = true;
                return;
            }
            // The text is read again in another encoding: tokenizing it now would be lost.
            if (anyFailed)
                return;
            tokenizer.feed(piece, m_pieces[size_t(part)]);
        }
        if (last && part == endingPart)
            tokenizer.finish(m_pieces[size_t(part)]);
    });
    for (int part = 0; part < threads; ++part) {
        if (failed[size_t(part)])
            return starts[size_t(part)];
    }
    return -1;
}

bool readListFile(const QString &path, ItemBatch &items, QString &errorString)
{
    ListFileReader reader;
    const bool ok = reader.open(path) && reader.readAll(items);
    if (!ok)
        errorString = reader.errorString();
    return ok;
}

qsizetype estimatedItemCount(qsizetype itemsRead, qint64 bytesRead, qint64 totalBytes)
{
    if (bytesRead <= 0)
        return 0;
    const double estimate = double(itemsRead) * double(totalBytes) / double(bytesRead) * 1.05;
    return qsizetype(std::min(estimate, double(totalBytes + 1)));
}
