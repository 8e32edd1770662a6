#include "listfile/listfilereader.h"

#include "listfile/format/lineends.h"
#include "listfile/format/listformat.h"
#include "listfile/handledevice.h"
#include "memory.h"
#include "parallel.h"

#include <QFile>

#include <cstring>
#include <new>

bool ListFileReader::open(const QString &path, std::stop_token stop)
{
    QString reason;
    platform::FileHandle handle = platform::openForReading(path, reason);
    platform::FileStatus status;
    if (!handle.isOpen() || !handle.status(status, reason))
        return fail(reason);
    m_fileStatus = status;
    if (status.kind != platform::FileStatus::Kind::Regular)
        return open(std::make_unique<HandleDevice>(std::move(handle), QIODevice::ReadOnly,
                                                   std::move(stop)));
    std::unique_ptr<QFile> file = fileReading(std::move(handle), reason);
    return file ? open(std::move(file)) : fail(reason);
}

bool ListFileReader::open(std::unique_ptr<QIODevice> device)
{
    m_input.open(std::move(device));
    m_tokenizer.setThreads(threadCountFor(m_roundBytes, m_minimumPerThread), m_minimumPerThread);
    // The first bytes tell whether the file has a byte-order mark. A device that cannot seek
    // is kept from its first byte, in case it has to be read again.
    QByteArray head(3, Qt::Uninitialized);
    qsizetype got = 0;
    for (qint64 length = 1; got < head.size() && length > 0; got += length) {
        length = m_input.read(head.data() + got, head.size() - got);
        if (length < 0)
            return fail(m_input.errorString());
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
    m_input.setKeeping(m_detector.isTrying());
    if (!m_input.rewind(textStart))
        return fail(m_input.errorString());
    m_decoder = TextDecoder(m_detector.likelyEncoding());
    // Text in a code page is checked as it is decoded, UTF-8 while it is only tried.
    m_tokenizer.start(m_detector.likelyEncoding(), m_detector.isTrying() || m_detector.isRequired(),
                      m_detector.isRequired());
    m_text.truncate(0); // its room stays for the text read again
    m_inLongLine = false;
    return true;
}

std::optional<FileVersion> ListFileReader::fileVersion() const
{
    if (!m_fileStatus)
        return std::nullopt;
    return FileVersion{*m_fileStatus, atEnd() ? m_input.digest() : std::nullopt};
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

bool ListFileReader::fail(const QString &reason)
{
    m_errorString = reason;
    m_phase = Phase::Failed;
    return false;
}

bool ListFileReader::rejectText(QByteArrayView text, qsizetype failedAt)
{
    if (m_detector.isRequired())
        return fail(m_tokenizer.notInEncoding(text, failedAt));
    m_detector.rejectTried([this] { return m_input.detectionSample(); });
    startNewMemory();
    m_startedOver = restartAt(m_detector.textStart());
    return false;
}

void ListFileReader::startNewMemory()
{
    m_tokenizer.startNewMemory();
}

bool ListFileReader::read(ItemBatch &items, qsizetype maxBytes)
{
    m_startedOver = false;
    try {
        for (qsizetype done = 0; done < maxBytes && m_phase == Phase::Reading;) {
            const qint64 before = m_input.position();
            if (!readRound(items, std::min(maxBytes - done, m_roundBytes)))
                return false;
            done += std::max<qint64>(m_input.position() - before, 1);
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
    const qint64 held = qint64(m_text.size()) + moreText + m_input.memoryUse();
    return held > 6 * m_roundBytes && held > m_memoryLimit;
}

qsizetype ListFileReader::longLineCut(QByteArrayView text, qsizetype from) const
{
    // UTF-8, which UTF-16 is read as, is cut before its last character, which may not be
    // whole yet; so the item that a long line holds goes to the tokenizer as it comes, and is
    // never held here whole besides. A code page is cut after the last byte that ends a
    // character in every code page, but for the text's last byte, which may be the CR of a
    // CR LF.
    if (!isCodePage(m_decoder.encoding())) {
        qsizetype start = text.size();
        while (start > 0 && text.size() - start < 3 && (quint8(text[start - 1]) & 0xC0) == 0x80)
            --start;
        return std::max<qsizetype>(start - 1, 0);
    }
    for (qsizetype index = text.size() - 2; index >= from; --index) {
        if (listformat::cutsNoCharacter(text[index]))
            return index + 1;
    }
    return 0;
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
        const qint64 left = total >= 0 ? std::max<qint64>(total - m_input.position(), 0)
                                       : m_text.capacity() / perByte;
        const qsizetype needed = carried + qsizetype(left) * perByte + m_roundBytes;
        if (m_text.capacity() < needed && !holdsTooMuch(needed - carried))
            m_text.reserve(needed);
    }
    QByteArray &bytes = inPlace ? m_text : m_chunk;
    const qsizetype start = inPlace ? carried : 0;
    bytes.resize(start + maxBytes);
    const qint64 length = m_input.read(bytes.data() + start, maxBytes);
    if (length < 0)
        return fail(m_input.errorString());
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
    // After the first cut, the text carried over follows the last place to cut: none is
    // searched for in it again.
    qsizetype cutFrom = carried;
    if (!m_inLongLine && !last && text.size() > maxBytes && wholeLines(text.sliced(carried)) == 0) {
        m_inLongLine = true;
        m_tokenizer.startLongLine();
        cutFrom = 0;
    }
    if (m_inLongLine) {
        const qsizetype end = last ? text.size() : lineEndAfter(text, carried);
        consumed = end >= 0 ? end : longLineCut(text, cutFrom);
        if (!m_tokenizer.tokenizeLongLine(text.first(consumed), last, items))
            return rejectText(text.first(consumed), 0);
        m_inLongLine = end < 0;
    }
    if (!m_inLongLine) {
        const QByteArrayView rest = text.sliced(consumed);
        const qsizetype restCarried = std::max<qsizetype>(carried - consumed, 0);
        const qsizetype newLines = wholeLines(rest.sliced(restCarried));
        const qsizetype cut = last ? rest.size() : newLines == 0 ? 0 : restCarried + newLines;
        const QByteArrayView lines = rest.first(cut);
        if (const qsizetype failedAt = m_tokenizer.tokenizeLines(lines, last, items); failedAt >= 0)
            return rejectText(lines, failedAt);
        consumed += cut;
    }
    // The rest moves to the front; the buffer keeps its room for the next round
    // (QByteArray::remove() would leave the room in front unused, and grow).
    std::memmove(m_text.data(), m_text.constData() + consumed, size_t(m_text.size() - consumed));
    m_text.truncate(m_text.size() - consumed);

    if (last) {
        if (m_detector.isTrying())
            m_detector.acceptTried();
        m_input.close();
        m_text = QByteArray();
        m_chunk = QByteArray();
        m_tokenizer.release();
        if (m_decoder.endedInsideACharacter())
            return fail(QStringLiteral("the file ends inside a character: its last byte is "
                                       "half of a UTF-16 character"));
        m_phase = Phase::Done;
    }
    return true;
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
