#include "listfile.h"

#include <QBuffer>

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
    QByteArray chunk(std::min(maxBytes, chunkSize), Qt::Uninitialized);
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
        const QByteArray chunk = readChunk(maxBytes - done);
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
    bool ok = true;
    while (ok && !atEnd())
        ok = read(items, chunkSize * 4);
    return ok;
}

bool readListFile(const QString &path, ItemBatch &items, QString &errorString)
{
    ListFileReader reader;
    const bool ok = reader.open(path) && reader.readAll(items);
    if (!ok)
        errorString = reader.errorString();
    return ok;
}
