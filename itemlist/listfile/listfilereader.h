#pragma once

#include "listfile/contentdigest.h"
#include "listfile/encoding/encodingdetector.h"
#include "listfile/encoding/textdecoder.h"
#include "listfile/encoding/textencoding.h"
#include "listfile/format/roundtokenizer.h"
#include "listfile/rereadableinput.h"
#include "platform.h"
#include "storage/itembatch.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

// Reads the items of a list file a bounded piece at a time, so that a caller can keep a
// window live while a large file loads. The whole lines of each piece are tokenized on all
// cores. Items read before a failure stay in the batch.
//
// A file without a UTF-16 byte-order mark is read as UTF-8 while it is checked to be so. One
// that turns out not to be is read again from the start in a code page (see
// EncodingDetector), and maybe once more in Windows-1252: the read that finds out returns
// false with startedOver() set, and every item read so far must be dropped. A FIFO or a
// device, which cannot be read again, is read once: the reader keeps a copy of its bytes
// until the encoding is known.
class ListFileReader
{
public:
    // Bytes read and tokenized at a time, on all cores; larger reads go in rounds of this.
    static constexpr qsizetype roundBytes = 4 << 20;

    // Opens the file at path. A read of what is not a regular file waits for its bytes, and
    // fails once stop is requested.
    [[nodiscard]] bool open(const QString &path, std::stop_token stop = {});
    // Reads from device, which is open for reading.
    [[nodiscard]] bool open(std::unique_ptr<QIODevice> device);
    // The most that the text the reader holds (a line not finished yet, the copy of a FIFO's
    // bytes) may take beyond a few rounds' worth: past it a read fails with notEnoughMemory().
    void setMemoryLimit(qint64 bytes) { m_memoryLimit = bytes; }
    // Keeps the copy of a device that cannot seek in an unnamed temporary file in folder
    // beyond memoryLimit bytes, rather than all in memory.
    void keepCopyIn(const QString &folder, qint64 memoryLimit)
    {
        m_input.keepCopyIn(folder, memoryLimit);
    }
    // For tests and the fuzzer only: reads in rounds of bytes, tokenized on all cores in
    // pieces of a quarter of that, so that small texts cross rounds and pieces inside items.
    void setRoundBytes(qsizetype bytes);
    // Reads a file without a byte-order mark in encoding, whatever its bytes say; bytes that
    // encoding does not read are an error that names their line. Before open().
    void setInputEncoding(TextEncoding encoding);

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
    // The bytes of the file read so far, and in all: -1 when the file does not tell (a FIFO),
    // 0 once at the end.
    [[nodiscard]] qint64 position() const { return m_input.position(); }
    [[nodiscard]] qint64 size() const { return m_input.size(); }
    [[nodiscard]] bool startedOver() const { return m_startedOver; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    // The file's encoding, known at the end, or from the start for UTF-16.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_detector.encoding(); }
    // The encoding the file is read in: UTF-8 until a byte shows that it is not, and the
    // reader starts over.
    [[nodiscard]] TextEncoding likelyEncoding() const { return m_detector.likelyEncoding(); }
    // Takes a digest of the file's bytes as they are read, for fileVersion(). Before open().
    void digestContent() { m_input.digestContent(); }
    // The file as it was opened, when opened by path: its status, and once read whole, the
    // digest of its bytes when asked for.
    [[nodiscard]] std::optional<FileVersion> fileVersion() const;

private:
    enum class Phase { Reading, Done, Failed };

    bool fail(const QString &reason);
    // Reads the text again from textStart, in the encoding now tried.
    bool restartAt(qsizetype textStart);
    bool readRound(ItemBatch &items, qsizetype maxBytes);
    // Where a line longer than a round may be cut before its end, from its place to cut at
    // or after from on; 0 when there is none yet.
    [[nodiscard]] qsizetype longLineCut(QByteArrayView text, qsizetype from) const;
    // The text, from failedAt on, is not in the encoding tried: a failure when the encoding
    // was named, else the input is read again from its start in the next one. Returns false.
    bool rejectText(QByteArrayView text, qsizetype failedAt);
    [[nodiscard]] bool holdsTooMuch(qsizetype moreText) const;

    RereadableInput m_input;
    std::optional<platform::FileStatus> m_fileStatus;
    Phase m_phase = Phase::Failed;
    EncodingDetector m_detector;
    TextDecoder m_decoder; // of UTF-16, the one encoding not tokenized as read
    bool m_startedOver = false;
    bool m_inLongLine = false; // tokenizing a line longer than a round
    QByteArray m_text;         // text not tokenized yet: the start of a line cut off
    QByteArray m_chunk;        // bytes read, for UTF-16
    RoundTokenizer m_tokenizer;
    qsizetype m_roundBytes = roundBytes;
    qsizetype m_minimumPerThread = 1 << 20; // below this many bytes a core, one thread is quicker
    qint64 m_memoryLimit = std::numeric_limits<qint64>::max();
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
