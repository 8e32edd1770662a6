#pragma once

#include "listfile/contentdigest.h"
#include "listfile/encoding/textencoding.h"
#include "platform.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

class SortedItemList;
struct LoadOutcome;

// What the Save command knows of the current file, and how it writes it: in the encoding
// the file was read in, so that other programs that read it keep seeing the same text.
//
// Save never writes over what the user has not seen. Until the user names a file again in
// the save dialog, Save must ask when the last load did not read its file whole (a read
// error, memory running out, a last character cut in half), or when a save to a name just
// chosen failed. And a file that another program changed or replaced since it was loaded or
// saved here is written only to a name the user then confirms: a change is seen in the file's
// size and time, and when they agree, in a digest of its bytes, which tells a change that put
// the old time back.
class CurrentFile
{
    Q_DECLARE_TR_FUNCTIONS(CurrentFile)

public:
    // A load ended. Returns what to tell the user, or an empty string when all went well.
    [[nodiscard]] QString loadFinished(const LoadOutcome &outcome);
    // Whether Save must ask for a name even though one is set.
    [[nodiscard]] bool mustAskForName() const { return m_mustAsk; }
    // What to tell the user when the file at path changed on disk since it was last loaded or
    // saved here, so that Save must ask; an empty string when it did not, or is gone.
    [[nodiscard]] QString changeOnDisk(const QString &path) const;
    // The user chose path in the save dialog: a file that was not loaded is new, and
    // written as UTF-8.
    void chosenForSaving(const QString &path);

    // Replaces the file at path with the items of list. An item that the file's encoding
    // cannot hold turns the whole file into UTF-8, which keeps every character; later saves
    // stay with what the file now is. A FIFO that no program reads fails at once, so that
    // the window never waits for one. Returns false with what to tell the user.
    [[nodiscard]] bool save(const QString &path, const SortedItemList &list, QString &message);

private:
    QString m_path;
    // The file as it was when last loaded or saved here; empty for a name just chosen.
    std::optional<FileVersion> m_version;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_mustAsk = false;
};
