#pragma once

#include "listfile/textencoding.h"

#include <QString>

class SortedItemList;
struct LoadOutcome;

// What the Save command knows of the current file, and how it writes it: in the encoding
// the file was read in, so that other programs that read it keep seeing the same text.
//
// A file that did not load whole (a read error, memory running out, a last character cut
// in half) is never written over without the user naming it again: until a later load
// reads a file whole, or the user confirms a name in the save dialog, Save must ask.
class CurrentFile
{
public:
    // A load ended. Returns what to tell the user, or an empty string when all went well.
    [[nodiscard]] QString loadFinished(const LoadOutcome &outcome);
    // Whether Save must ask for a name even though one is set.
    [[nodiscard]] bool mustAskForName() const { return !m_loadedWhole; }
    // The user chose path in the save dialog: a file that was not loaded is new, and
    // written as UTF-8.
    void chosenForSaving(const QString &path);

    // Replaces the file at path with the items of list. An item that the file's encoding
    // cannot hold turns the whole file into UTF-8, which keeps every character; later saves
    // stay with what the file now is. Returns false with what to tell the user.
    [[nodiscard]] bool save(const QString &path, const SortedItemList &list, QString &message);

private:
    QString m_loadedPath;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_loadedWhole = true;
};
