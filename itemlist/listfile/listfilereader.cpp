#include "listfile/listfilereader.h"

#include "listfile/handledevice.h"
#include "listfile/itemtokenizer.h"
#include "memory.h"
#include "parallel.h"

#include <QFile>

#include <atomic>
#include <cstring>
#include <new>

namespace
{
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
    m_pieces.resize(size_t(threadCountFor(m_roundBytes, m_minimumPerThread)));
    // The first bytes tell whether the file has a byte-order mark; a device that cannot seek
    // is kept from its first byte, in case it has to be read again.
    m_checkingUtf8 = true;
    QByteArray head(3, Qt::Uninitialized);
    qsizetype got = 0;
    for (qint64 length = 1; got < head.size() && length > 0; got += length) {
        length = readRaw(head.data() + got, head.size() - got);
        if (length < 0)
            return fail(m_device->errorString());
    }
    head.truncate(got);
    const qsizetype markLength = m_detector.takeStart(head);
    m_pending = head;
    m_pendingAt = markLength;
    m_position = markLength;
    m_checkingUtf8 = !m_detector.encoding();
    if (!m_checkingUtf8)
        m_replay.clear();
    m_decoder = TextDecoder(m_detector.likelyEncoding());
    m_text.clear();
    m_phase = Phase::Reading;
    return true;
}

void ListFileReader::setRoundBytes(qsizetype bytes)
{
    m_roundBytes = bytes;
    m_minimumPerThread = std::max<qsizetype>(bytes / 4, 1);
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
    qint64 done = std::min<qint64>(size, m_pending.size() - m_pendingAt);
    if (done > 0) {
        std::memcpy(into, m_pending.constData() + m_pendingAt, size_t(done));
        m_pendingAt += done;
        if (m_pendingAt == m_pending.size()) {
            m_pending = QByteArray();
            m_pendingAt = 0;
        }
    }
    if (done < size) {
        const qint64 length = m_device->read(into + done, size - done);
        if (length < 0 && done == 0)
            return -1;
        if (length > 0) {
            if (m_checkingUtf8 && m_device->isSequential())
                m_replay.append(into + done, length);
            done += length;
        }
    }
    m_position += done;
    return done;
}

bool ListFileReader::startOver()
{
    m_detector.decide(false);
    m_checkingUtf8 = false;
    m_startedOver = true;
    startNewMemory();
    const qsizetype textStart = m_detector.textStart();
    if (m_device->isSequential()) {
        m_pending = std::exchange(m_replay, QByteArray());
        m_pendingAt = textStart;
    } else {
        m_pending = QByteArray();
        m_pendingAt = 0;
        if (!m_device->seek(textStart))
            return fail(m_device->errorString());
    }
    m_position = textStart;
    m_decoder = TextDecoder(*m_detector.encoding());
    m_text.clear();
    m_phase = Phase::Reading;
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
    const qint64 held = qint64(m_text.size()) + moreText + m_replay.size();
    return held > 6 * m_roundBytes && held > m_memoryLimit;
}

bool ListFileReader::readRound(ItemBatch &items, qsizetype maxBytes)
{
    // The text is read straight after what is left of the last round, or decoded there.
    const qsizetype carried = m_text.size();
    const bool inPlace = m_decoder.isIdentity();
    // Decoded text takes up to three bytes for each byte read.
    const qsizetype perByte = inPlace ? 1 : 3;
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
        return fail(m_device->errorString());
    bytes.resize(start + length);
    const bool last = length == 0;
    if (last)
        m_decoder.finish(m_text);
    else if (!inPlace)
        m_decoder.decode(m_chunk, m_text);

    // Whole lines are tokenized now, the rest carried over; the carried text holds no line
    // end, so a long line is not searched over again.
    const qsizetype newLines = wholeLines(QByteArrayView(m_text).sliced(carried));
    const qsizetype cut = last ? m_text.size() : newLines == 0 ? 0 : carried + newLines;
    if (!tokenizeInParallel(QByteArrayView(m_text).first(cut), last))
        return startOver();
    for (ItemBatch &piece : m_pieces)
        items.appendItemsOf(piece);
    // The rest moves to the front; the buffer keeps its room for the next round
    // (QByteArray::remove() would leave the room in front unused, and grow).
    std::memmove(m_text.data(), m_text.constData() + cut, size_t(m_text.size() - cut));
    m_text.truncate(m_text.size() - cut);

    if (last) {
        if (m_checkingUtf8)
            m_detector.decide(true);
        m_device.reset();
        m_text = QByteArray();
        m_chunk = QByteArray();
        m_replay = QByteArray();
        m_pending = QByteArray();
        if (m_decoder.endedInsideACharacter())
            return fail(QStringLiteral("the file ends inside a character: its last byte is "
                                       "half of a UTF-16 character"));
        m_phase = Phase::Done;
    }
    return true;
}

bool ListFileReader::tokenizeInParallel(QByteArrayView lines, bool last)
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
    const bool mayHoldLoneSurrogates = isUtf16(m_detector.encoding().value_or(TextEncoding::Utf8));
    std::atomic<bool> valid = true;
    runInParallel(threads, [&](int part) {
        const qsizetype start = starts[size_t(part)];
        const QByteArrayView piece = lines.sliced(start, starts[size_t(part) + 1] - start);
        // Pieces end at line ends, which never cut a UTF-8 sequence.
        if (m_checkingUtf8 && !piece.isValidUtf8()) {
            valid = false;
            return;
        }
        ItemTokenizer tokenizer(mayHoldLoneSurrogates);
        tokenizer.feed(piece, m_pieces[size_t(part)]);
        if (last && part == endingPart)
            tokenizer.finish(m_pieces[size_t(part)]);
    });
    return valid;
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
