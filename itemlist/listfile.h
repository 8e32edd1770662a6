#pragma once

// The list file reader and writer, for the callers that move items between files and lists.
#include "listfile/encoding/textencoding.h"
#include "listfile/listfilereader.h"
#include "listfile/listfilewriter.h"
#include "sorteditemlist.h"

// The items of list, in form, for the choice of the encoding to write them in.
inline ItemsToWrite itemsToWrite(const SortedItemList &list, ListForm form = {})
{
    return {.open = [&list, form] { return list.stream(form); },
            .loneSurrogates = list.loneSurrogateCount(),
            .allReadIn = std::nullopt};
}
