#pragma once

#include "itembatch.h"
#include "itemtokenizer.h"
#include "listtextdecoder.h"
#include "sorteditemlist.h"

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

    // Reads about maxBytes more bytes of the file and appends their items to items. Unless
    // the file starts with a byte-order mark, the first call also scans the whole file once
    // to settle its encoding.
    // Returns false when reading fails; errorString() then says why.
    [[nodiscard]] bool read(ItemBatch &items, qsizetype maxBytes);
    // Reads the rest of the file in one go.
    [[nodiscard]] bool readAll(ItemBatch &items);
    [[nodiscard]] bool atEnd() const { return m_phase == Phase::Done; }
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    enum class Phase { Detecting, Decoding, Done, Failed };

    bool start();
    bool fail(const QString &reason);
    bool detect();
    bool decode(ItemBatch &items, qsizetype maxBytes);
    QByteArray readChunk(qsizetype maxBytes);

    std::unique_ptr<QIODevice> m_device;
    Phase m_phase = Phase::Failed;
    qsizetype m_textStart = 0;
    EncodingDetector m_detector;
    QStringDecoder m_decoder;
    ItemTokenizer m_tokenizer;
    QString m_errorString;
};

// Reads a whole list file into items. Returns false on failure, with the reason in
// errorString; the items read before the failure stay in items.
[[nodiscard]] bool readListFile(const QString &path, ItemBatch &items, QString &errorString);

// The text of one item as a line of a list file, without the line end: quoted when it
// would not read back unchanged otherwise.
[[nodiscard]] QString listFileLine(QStringView item);

// Writes every item of list, in order, one per line ended by CR LF, as UTF-8.
[[nodiscard]] bool writeListItems(QIODevice &device, const SortedItemList &list,
                                  QString &errorString);

// Replaces the file at path with the items of list. The old file stays whole until the new
// one is complete, and keeps its permissions.
[[nodiscard]] bool saveListFile(const QString &path, const SortedItemList &list,
                                QString &errorString);
