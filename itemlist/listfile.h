#pragma once

#include "itembatch.h"
#include "itemtokenizer.h"
#include "listtextdecoder.h"
#include "sorteditemlist.h"
#include "textcodec.h"
#include "textencoding.h"

#include <QFile>
#include <QString>

#include <memory>

// Reads the items of a list file a bounded piece at a time, so that a caller can keep a
// window live while a large file loads. Items read before a failure stay in the batch.
class ListFileReader
{
public:
    [[nodiscard]] bool open(const QString &path);
    [[nodiscard]] bool openStandardInput();
    // Reads from device, which is open for reading.
    [[nodiscard]] bool open(std::unique_ptr<QIODevice> device);

    // Reads about maxBytes more bytes of the file and appends their items to items. Unless
    // the file starts with a UTF-16 byte-order mark, the first call also scans the whole file
    // once to settle its encoding.
    // Returns false when reading fails; errorString() then says why.
    [[nodiscard]] bool read(ItemBatch &items, qsizetype maxBytes);
    // Reads the rest of the file in one go, on all cores.
    [[nodiscard]] bool readAll(ItemBatch &items);
    [[nodiscard]] bool atEnd() const { return m_phase == Phase::Done; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    // The file's encoding, known after the first read.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_detector.encoding(); }

private:
    enum class Phase { Detecting, Decoding, Done, Failed };

    bool fail(const QString &reason);
    bool startDecoding();
    bool detect();
    bool decode(ItemBatch &items, qsizetype maxBytes);
    enum class Outcome { Done, Failed, NotUtf8 };
    Outcome decodeAll(ItemBatch &items, bool checkingUtf8);
    bool tokenizeInParallel(QByteArrayView lines, std::vector<ItemBatch> &pieces, bool last,
                            bool checkingUtf8);
    bool finishDecoding(ItemBatch &items);
    QByteArray readChunk(qsizetype maxBytes);

    std::unique_ptr<QIODevice> m_device;
    Phase m_phase = Phase::Failed;
    EncodingDetector m_detector;
    TextDecoder m_decoder;
    QByteArray m_text; // decoded, reused from piece to piece
    ItemTokenizer m_tokenizer;
    QString m_errorString;
};

// Reads a whole list file into items. Returns false on failure, with the reason in
// errorString; the items read before the failure stay in items.
[[nodiscard]] bool readListFile(const QString &path, ItemBatch &items, QString &errorString);

// The position of the first item of list that encoding cannot write, or -1 when it can
// write them all.
[[nodiscard]] qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding);
// The encoding that saves list to a file read in preferred: preferred itself when it can
// write every item, otherwise UTF-8, or UTF-16 for a lone surrogate. No character is ever
// replaced or dropped.
[[nodiscard]] TextEncoding encodingForSaving(const SortedItemList &list, TextEncoding preferred);

// Writes every item of list, in order, one per line ended by CR LF, in encoding with its
// byte-order mark. An item is quoted when it would not read back unchanged otherwise.
// encoding must be able to write every item.
[[nodiscard]] bool writeListItems(QIODevice &device, const SortedItemList &list,
                                  TextEncoding encoding, QString &errorString);

// Replaces the file at path with the items of list, written as writeListItems() does; see
// SaveTarget for how each kind of file is written.
[[nodiscard]] bool saveListFile(const QString &path, const SortedItemList &list,
                                TextEncoding encoding, QString &errorString);
