#pragma once

// The list file reader and writer, for the callers that move items between files and lists.
#include "listfile/encoding/textencoding.h"
#include "listfile/encodingchoice.h"
#include "listfile/listfilereader.h"
#include "listfile/listfilewriter.h"
