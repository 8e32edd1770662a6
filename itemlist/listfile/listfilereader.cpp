#include "listfile/listfilereader.h"

#include "listfile/itemtokenizer.h"
#include "memory.h"
#include "order/parallel.h"

#include <QBuffer>
#include <QFile>

#include <atomic>
#include <cstring>
#include <new>

namespace
{
// Below this many bytes of text per core, starting threads costs more than it saves.
constexpr qsizetype minimumPerThread = 1 << 20;

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

bool ListFileReader::open(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return fail(file->errorString());
    return open(std::move(file));
}

bool ListFileReader::openStandardInput()
{
    auto input = std::make_unique<QFile>();
    if (!input->open(stdin, QIODevice::ReadOnly))
        return fail(input->errorString());
    return open(std::move(input));
}

bool ListFileReader::open(std::unique_ptr<QIODevice> device)
{
    m_device = std::move(device);
    if (m_device->isSequential()) {
        // A file that turns out not to be UTF-8 is read again, which a pipe cannot give.
        auto buffer = std::make_unique<QBuffer>();
        try {
            buffer->setData(m_device->readAll());
        } catch (const std::bad_alloc &) {
            return fail(notEnoughMemory());
        }
        if (auto *file = qobject_cast<QFile *>(m_device.get()); file && file->error())
            return fail(file->errorString());
        buffer->open(QIODevice::ReadOnly);
        m_device = std::move(buffer);
    }
    m_pieces.resize(size_t(threadCountFor(roundBytes, minimumPerThread)));
    const qsizetype markLength = m_detector.takeStart(m_device->peek(3));
    m_checkingUtf8 = !m_detector.encoding();
    if (!m_checkingUtf8)
        return startText();
    m_decoder = TextDecoder(TextEncoding::Utf8);
    m_phase = Phase::Reading;
    return m_device->seek(markLength) || fail(m_device->errorString());
}

bool ListFileReader::fail(const QString &reason)
{
    m_errorString = reason;
    m_phase = Phase::Failed;
    return false;
}

bool ListFileReader::startText()
{
    m_decoder = TextDecoder(*m_detector.encoding());
    m_text.clear();
    m_phase = Phase::Reading;
    return m_device->seek(m_detector.textStart()) || fail(m_device->errorString());
}

bool ListFileReader::startOver()
{
    m_detector.decide(false);
    m_checkingUtf8 = false;
    m_startedOver = true;
    startNewMemory();
    startText();
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
            const qint64 before = m_device->pos();
            if (!readRound(items, std::min(maxBytes - done, roundBytes)))
                return false;
            done += m_device ? m_device->pos() - before : roundBytes;
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
        if (!read(items, roundBytes)) {
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
        if (!reserved && m_device && fileSize > 0) {
            try {
                items.reserve(before +
                              estimatedItemCount(items.size() - before, position(), fileSize));
            } catch (const std::bad_alloc &) {
                // Then the list grows as it goes.
            }
            reserved = true;
        }
        if (progress && m_device)
            progress(position());
    }
    return true;
}

bool ListFileReader::readRound(ItemBatch &items, qsizetype maxBytes)
{
    // The text is read straight after what is left of the last round, or decoded there.
    const qsizetype carried = m_text.size();
    const bool inPlace = m_decoder.isIdentity();
    // A line longer than a round would have the buffer grow and copy it over and over: room
    // for the rest of the file at once, which is all the line may still need.
    if (carried >= roundBytes) {
        const qint64 left = m_device->size() - m_device->pos();
        const qsizetype needed = carried + qsizetype(left) * (inPlace ? 1 : 3) + roundBytes;
        if (m_text.capacity() < needed)
            m_text.reserve(needed);
    }
    QByteArray &bytes = inPlace ? m_text : m_chunk;
    const qsizetype start = inPlace ? carried : 0;
    bytes.resize(start + maxBytes);
    const qint64 length = m_device->read(bytes.data() + start, maxBytes);
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
        std::min(threadCountFor(lines.size(), minimumPerThread), int(m_pieces.size()));
    std::vector<qsizetype> starts{0};
    for (int part = 1; part < threads; ++part) {
        const qsizetype end = lines.indexOf('\n', partBegin(lines.size(), threads, part));
        starts.push_back(end < 0 ? lines.size() : std::max(end + 1, starts.back()));
    }
    starts.push_back(lines.size());
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
        if (last && part == threads - 1)
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
