#pragma once

#include "listfile/contentdigest.h"
#include "listfile/encoding/textencoding.h"
#include "platform.h"
#include "storage/itemstream.h"

#include <QIODevice>
#include <QString>

#include <optional>

// Writes items, one per line ended by CR LF, in encoding with its byte-order mark. An item
// is quoted when it would not read back unchanged otherwise, the first one too when the file
// would otherwise start like a byte-order mark it does not have. encoding must be able to
// write every item.
[[nodiscard]] bool writeListItems(QIODevice &device, ItemStream items, TextEncoding encoding,
                                  QString &errorString);
// Replaces the file at path with items, written as writeListItems() does; see SaveTarget for
// how each kind of file is written. A FIFO that no program reads waits for one, or fails at
// once. A regular file's version as saved goes to saved, when given.
[[nodiscard]] bool saveListFile(const QString &path, ItemStream items, TextEncoding encoding,
                                QString &errorString,
                                platform::ReaderWait wait = platform::ReaderWait::Wait,
                                std::optional<FileVersion> *saved = nullptr);
