#pragma once

#include "platform.h"
#include "storage/item.h"

#include <QString>

#include <string>
#include <vector>

// A sorted run of keyed items in a temporary file, for lists larger than memory. Each entry
// is stored as a record: its key prefix and then its item as an arena holds it, length header
// and WTF-8 text, so that reading it back takes neither decoding nor keying. The file has no
// name: the system removes it when it is closed, however the process ends.
//
// Every so many bytes, a record is kept in memory too, with its offset, so that a merge can
// split the run by key between threads and start reading at any of them.
class RunFile
{
public:
    // A record kept in memory, and where it is in the file.
    struct Sample {
        qint64 offset;
        std::string record;
        [[nodiscard]] ItemEntry entry() const { return entryOfRecord(record.data()); }
    };
    // The entry of the record laid out at record.
    [[nodiscard]] static ItemEntry entryOfRecord(const char *record);

    // Opens a new run file in folder.
    [[nodiscard]] bool create(const QString &folder);
    // Appends entry to the run.
    [[nodiscard]] bool append(const ItemEntry &entry);
    // Appends records that appendRecord() laid out, for runs laid out on several threads.
    [[nodiscard]] bool appendRecords(const std::string &records);
    static void appendRecord(const ItemEntry &entry, std::string &records)
    {
        records.append(reinterpret_cast<const char *>(&entry.keyPrefix), sizeof entry.keyPrefix);
        entry.item->appendTo(records);
    }
    // Ends writing: what is buffered goes to the file, and the buffer's memory goes.
    [[nodiscard]] bool finishWriting();

    [[nodiscard]] const platform::FileHandle &file() const { return m_file; }
    // The bytes written.
    [[nodiscard]] qint64 size() const { return m_size; }
    [[nodiscard]] const std::vector<Sample> &samples() const { return m_samples; }
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    static constexpr size_t writeSize = 1 << 20;

public:
    // Bytes of records between two samples: few enough that a merge split many ways reads
    // little outside its range.
    static constexpr qint64 sampleSpacing = 8 << 10;

private:
    // Keeps the samples among records, which start at offset size() - records.size().
    void sample(std::string_view records);
    bool flush();

    platform::FileHandle m_file;
    std::string m_buffer; // written and not yet in the file
    qint64 m_size = 0;
    std::vector<Sample> m_samples;
    QString m_errorString;
};

// Reads the records of a run file between two offsets, a buffer at a time; several may read
// the same file at once. The buffer is the caller's, so that readers one after another can
// read into the same memory.
class RunReader
{
public:
    RunReader(const RunFile &file, qint64 from, qint64 to, qsizetype readSize, std::string &buffer)
        : m_file(&file), m_offset(from), m_end(to), m_readSize(readSize), m_buffer(buffer)
    {
        m_buffer.clear();
    }

    // Replaces entries with the next ones of the run, whose items live in memory of the
    // reader's own until the next call; entries stays empty at the end of the run.
    [[nodiscard]] bool readNext(std::vector<ItemEntry> &entries, QString &errorString);
    // Where in the file the record of entry, one the last readNext() gave, starts.
    [[nodiscard]] qint64 offsetOf(const ItemEntry &entry) const
    {
        return m_bufferOffset + (reinterpret_cast<const char *>(entry.item) - m_buffer.data()) -
               qint64(sizeof(quint64));
    }

private:
    const RunFile *m_file;
    qint64 m_offset; // of the next byte to read
    qint64 m_end;
    qint64 m_bufferOffset = 0; // of m_buffer's first byte
    qsizetype m_readSize;
    qsizetype m_parsed = 0; // bytes of m_buffer whose entries the last read gave
    std::string &m_buffer;
};
