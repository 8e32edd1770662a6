#pragma once

#include "storage/itemstream.h"

// The chunks of source, each made on a thread of its own while the caller writes the one
// before, so that merging and writing take a core each.
[[nodiscard]] ItemStream chunksAhead(ItemStream source);
