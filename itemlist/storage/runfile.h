#pragma once

#include "storage/item.h"

#include <QFile>
#include <QString>

#include <string>
#include <vector>

// A sorted run of keyed items in a temporary file, for lists larger than memory. Each entry
// is stored as its key prefix and then its item as an arena holds it, length header and
// WTF-8 text, so that reading it back takes neither decoding nor keying. The file has no
// name: the system removes it when it is closed, however the process ends.
class RunFile
{
public:
    // Opens a new run file in folder.
    [[nodiscard]] bool create(const QString &folder);
    // Appends entry to the run.
    [[nodiscard]] bool append(const ItemEntry &entry)
    {
        appendRecord(entry, m_buffer);
        return m_buffer.size() < writeSize || flush();
    }
    // Appends records that appendRecord() laid out, for runs laid out on several threads.
    [[nodiscard]] bool appendRecords(const std::string &records)
    {
        m_buffer.append(records);
        return m_buffer.size() < writeSize || flush();
    }
    static void appendRecord(const ItemEntry &entry, std::string &records)
    {
        records.append(reinterpret_cast<const char *>(&entry.keyPrefix), sizeof entry.keyPrefix);
        entry.item->appendTo(records);
    }
    // Ends writing: what is buffered goes to the file, and the buffer's memory goes.
    [[nodiscard]] bool finishWriting();
    // Ends writing, and starts reading from the first entry, readSize bytes at a time; again
    // from the first on each call.
    [[nodiscard]] bool rewind(qsizetype readSize);
    // Replaces entries with the next ones of the run, whose items live in memory of the
    // file's own until the next call; entries stays empty at the end of the run.
    [[nodiscard]] bool readNext(std::vector<ItemEntry> &entries);

    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    static constexpr size_t writeSize = 1 << 20;

    bool flush();
    bool fail();

    QFile m_file;
    std::string m_buffer; // written, or read and not yet parsed
    qsizetype m_readSize = 0;
    qsizetype m_parsed = 0; // bytes of m_buffer whose entries the last read gave
    bool m_writing = true;
    QString m_errorString;
};
