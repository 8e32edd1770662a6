#pragma once

// The list file reader and writer, for the callers that move items between files and lists.
#include "listfile/listfilereader.h"
#include "listfile/listfilewriter.h"
#include "listfile/textencoding.h"
