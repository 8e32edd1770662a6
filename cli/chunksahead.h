#pragma once

#include "listfile/listfilewriter.h"

// Chunks of source, each merged on a thread of its own while the caller writes the one
// before, so that merging and writing take a core each. The items of a chunk that source
// gives must stay valid until the call after the next.
[[nodiscard]] ItemChunks chunksAhead(ItemChunks source);
