#pragma once

#include "listfile/encodingdetector.h"
#include "listfile/textdecoder.h"
#include "listfile/textencoding.h"
#include "storage/itembatch.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Reads the items of a list file a bounded piece at a time, so that a caller can keep a
// window live while a large file loads. The whole lines of each piece are tokenized on all
// cores. Items read before a failure stay in the batch.
//
// A file without a UTF-16 byte-order mark is read as UTF-8 while it is checked to be so. One
// that turns out not to be is read again from the start, as Windows-1252: the read that finds
// out returns false with startedOver() set, and every item read so far must be dropped.
class ListFileReader
{
public:
    // Bytes read and tokenized at a time, on all cores; larger reads go in rounds of this.
    static constexpr qsizetype roundBytes = 4 << 20;

    [[nodiscard]] bool open(const QString &path);
    [[nodiscard]] bool openStandardInput();
    // Reads from device, which is open for reading.
    [[nodiscard]] bool open(std::unique_ptr<QIODevice> device);

    // Reads about maxBytes more bytes of the file and appends their items to items.
    // Returns false when reading fails, with errorString() saying why, or when the reader
    // started over.
    [[nodiscard]] bool read(ItemBatch &items, qsizetype maxBytes);
    // Reads the rest of the file in one go; calls progress with the bytes read so far after
    // each round, when given.
    [[nodiscard]] bool readAll(ItemBatch &items,
                               const std::function<void(qint64 bytesRead)> &progress = {});
    // Gives the items read from now on memory of their own, so that the memory of the items
    // taken so far goes once the caller drops them.
    void startNewMemory();
    [[nodiscard]] bool atEnd() const { return m_phase == Phase::Done; }
    // The bytes of the file read so far, and in all; the size is 0 once at the end.
    [[nodiscard]] qint64 position() const { return m_device ? m_device->pos() : 0; }
    [[nodiscard]] qint64 size() const { return m_device ? m_device->size() : 0; }
    [[nodiscard]] bool startedOver() const { return m_startedOver; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    // The file's encoding, known at the end, or from the start for UTF-16.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_detector.encoding(); }
    // The encoding the file is read in: UTF-8 until a byte shows that it is not, and the
    // reader starts over.
    [[nodiscard]] TextEncoding likelyEncoding() const { return m_detector.likelyEncoding(); }

private:
    enum class Phase { Reading, Done, Failed };

    bool fail(const QString &reason);
    bool startText();
    bool readRound(ItemBatch &items, qsizetype maxBytes);
    bool tokenizeInParallel(QByteArrayView lines, bool last);
    bool startOver();

    std::unique_ptr<QIODevice> m_device;
    Phase m_phase = Phase::Failed;
    EncodingDetector m_detector;
    TextDecoder m_decoder;
    bool m_checkingUtf8 = false;
    bool m_startedOver = false;
    QByteArray m_text;               // decoded text not tokenized yet: the start of a line cut off
    QByteArray m_chunk;              // bytes read, for decoders that convert
    std::vector<ItemBatch> m_pieces; // one for each core, whose memory the items share
    QString m_errorString;
};

// Reads a whole list file into items. Returns false on failure, with the reason in
// errorString; the items read before the failure stay in items.
[[nodiscard]] bool readListFile(const QString &path, ItemBatch &items, QString &errorString);

// About how many items totalBytes of a file hold when bytesRead of it held itemsRead, with a
// little to spare: room for that many saves copying the list of them as it grows. Text holds
// one item a byte at most.
[[nodiscard]] qsizetype estimatedItemCount(qsizetype itemsRead, qint64 bytesRead,
                                           qint64 totalBytes);
