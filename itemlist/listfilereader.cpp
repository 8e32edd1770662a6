#include "listfile.h"

#include "parallel.h"

#include <QBuffer>

#include <atomic>
#include <cstring>

#include <new>

namespace
{
constexpr qsizetype chunkSize = 256 * 1024;

bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE;
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
        // Detecting the encoding takes a second pass over the text, which a pipe cannot give.
        auto buffer = std::make_unique<QBuffer>();
        try {
            buffer->setData(m_device->readAll());
        } catch (const std::bad_alloc &) {
            return fail(QStringLiteral("not enough memory"));
        }
        if (auto *file = qobject_cast<QFile *>(m_device.get()); file && file->error())
            return fail(file->errorString());
        buffer->open(QIODevice::ReadOnly);
        m_device = std::move(buffer);
    }
    const qsizetype markLength = m_detector.takeStart(m_device->peek(3));
    if (m_detector.encoding())
        return startDecoding();
    m_phase = Phase::Detecting;
    return m_device->seek(markLength) || fail(m_device->errorString());
}

bool ListFileReader::fail(const QString &reason)
{
    m_errorString = reason;
    m_phase = Phase::Failed;
    return false;
}

bool ListFileReader::startDecoding()
{
    const TextEncoding encoding = *m_detector.encoding();
    m_decoder = TextDecoder(encoding);
    m_tokenizer = ItemTokenizer(isUtf16(encoding));
    m_phase = Phase::Decoding;
    return m_device->seek(m_detector.textStart()) || fail(m_device->errorString());
}

QByteArray ListFileReader::readChunk(qsizetype maxBytes)
{
    QByteArray chunk(maxBytes, Qt::Uninitialized);
    const qint64 length = m_device->read(chunk.data(), chunk.size());
    if (length < 0) {
        fail(m_device->errorString());
        return {};
    }
    chunk.truncate(length);
    return chunk;
}

bool ListFileReader::read(ItemBatch &items, qsizetype maxBytes)
{
    try {
        if (m_phase == Phase::Detecting && !detect())
            return false;
        if (m_phase == Phase::Decoding)
            return decode(items, maxBytes);
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("not enough memory"));
    }
    return m_phase != Phase::Failed;
}

bool ListFileReader::detect()
{
    // Scanning is much faster than decoding, so it runs to the end in one call, and the first
    // read already gives items.
    for (;;) {
        const QByteArray chunk = readChunk(chunkSize);
        if (m_phase == Phase::Failed)
            return false;
        if (chunk.isEmpty())
            m_detector.finish();
        if (chunk.isEmpty() || m_detector.feed(chunk))
            return startDecoding();
    }
}

bool ListFileReader::decode(ItemBatch &items, qsizetype maxBytes)
{
    for (qsizetype done = 0; done < maxBytes;) {
        const QByteArray chunk = readChunk(std::min(maxBytes - done, chunkSize));
        if (m_phase == Phase::Failed)
            return false;
        if (chunk.isEmpty())
            return finishDecoding(items);
        done += chunk.size();
        if (m_decoder.isIdentity()) {
            m_tokenizer.feed(QByteArrayView(chunk), items);
            continue;
        }
        m_text.clear();
        m_decoder.decode(chunk, m_text);
        m_tokenizer.feed(QByteArrayView(m_text), items);
    }
    return true;
}

bool ListFileReader::finishDecoding(ItemBatch &items)
{
    m_text.clear();
    m_decoder.finish(m_text);
    m_tokenizer.feed(QByteArrayView(m_text), items);
    m_tokenizer.finish(items);
    m_device.reset();
    m_text = QByteArray();
    if (m_decoder.endedInsideACharacter())
        return fail(QStringLiteral("the file ends inside a character: its last byte is half "
                                   "of a UTF-16 character"));
    m_phase = Phase::Done;
    return true;
}

bool ListFileReader::readAll(ItemBatch &items)
{
    try {
        if (m_phase == Phase::Detecting) {
            // Reading the text as UTF-8 while checking that it is takes one pass over the
            // file rather than two; a file that turns out not to be is read again.
            const qsizetype before = items.size();
            m_decoder = TextDecoder(TextEncoding::Utf8);
            const Outcome outcome = decodeAll(items, true);
            if (outcome != Outcome::NotUtf8)
                return outcome == Outcome::Done;
            items.truncate(before);
            m_detector.decide(false);
            if (!startDecoding())
                return false;
        }
        if (m_phase == Phase::Decoding)
            return decodeAll(items, false) == Outcome::Done;
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("not enough memory"));
    }
    return m_phase != Phase::Failed;
}

ListFileReader::Outcome ListFileReader::decodeAll(ItemBatch &items, bool checkingUtf8)
{
    // Lines are independent of each other: the whole lines of each round are cut into one
    // piece for each core and tokenized side by side; a line cut off at the end of a round
    // waits for the next. Each core keeps its items' text in memory of its own.
    constexpr qsizetype roundBytes = 4 << 20;
    const qint64 fileSize = m_device->size();
    std::vector<ItemBatch> pieces(static_cast<size_t>(threadCountFor(roundBytes, 1 << 20)));
    qint64 consumed = 0;
    // Both are reused from round to round: fresh memory costs the system a page fault for
    // every few kilobytes.
    QByteArray text;
    QByteArray chunk;
    for (bool last = false; !last;) {
        const qsizetype carried = text.size();
        // A line longer than a round would have the buffer grow and copy it over and over:
        // room for the rest of the file at once, which is all the line may still need.
        if (carried >= roundBytes && text.capacity() < carried + fileSize - consumed + roundBytes)
            text.reserve(carried + (fileSize - consumed) * (m_decoder.isIdentity() ? 1 : 3) +
                         roundBytes);
        QByteArray &bytes = m_decoder.isIdentity() ? text : chunk;
        const qsizetype start = m_decoder.isIdentity() ? carried : 0;
        bytes.resize(start + roundBytes);
        const qint64 length = m_device->read(bytes.data() + start, roundBytes);
        if (length < 0) {
            fail(m_device->errorString());
            return Outcome::Failed;
        }
        bytes.resize(start + length);
        last = length == 0;
        consumed += length;
        if (last)
            m_decoder.finish(text);
        else if (!m_decoder.isIdentity())
            m_decoder.decode(chunk, text);
        // The carried text holds no line end, so a long line is not searched over again.
        const qsizetype lastLineEnd = QByteArrayView(text).sliced(carried).lastIndexOf('\n');
        const qsizetype cut = last ? text.size() : lastLineEnd < 0 ? 0 : carried + lastLineEnd + 1;
        if (!tokenizeInParallel(QByteArrayView(text).first(cut), pieces, last, checkingUtf8))
            return Outcome::NotUtf8;
        // The first round shows about how many items the file holds: room for them all
        // saves copying the list of them as it grows.
        if (consumed == std::min<qint64>(fileSize, roundBytes) && !last) {
            qsizetype read = items.size();
            for (const ItemBatch &piece : pieces)
                read += piece.size();
            items.reserve(qsizetype(double(read) * double(fileSize) / double(consumed) * 1.05));
        }
        for (ItemBatch &piece : pieces)
            items.appendItemsOf(piece);
        // The cut-off line moves to the front, and the buffer keeps its size for the next
        // round (QByteArray::remove() would leave the room in front unused, and grow).
        std::memmove(text.data(), text.constData() + cut, size_t(text.size() - cut));
        text.truncate(text.size() - cut);
    }
    for (ItemBatch &piece : pieces)
        items.append(std::move(piece));
    if (checkingUtf8)
        m_detector.decide(true);
    m_device.reset();
    if (m_decoder.endedInsideACharacter()) {
        fail(QStringLiteral("the file ends inside a character: its last byte is half of a "
                            "UTF-16 character"));
        return Outcome::Failed;
    }
    m_phase = Phase::Done;
    return Outcome::Done;
}

bool ListFileReader::tokenizeInParallel(QByteArrayView lines, std::vector<ItemBatch> &pieces,
                                        bool last, bool checkingUtf8)
{
    constexpr qsizetype minimumPerThread = 1 << 20;
    const int threads =
        std::min(threadCountFor(lines.size(), minimumPerThread), int(pieces.size()));
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
        if (checkingUtf8 && !piece.isValidUtf8()) {
            valid = false;
            return;
        }
        ItemTokenizer tokenizer(mayHoldLoneSurrogates);
        tokenizer.feed(piece, pieces[size_t(part)]);
        if (last && part == threads - 1)
            tokenizer.finish(pieces[size_t(part)]);
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
