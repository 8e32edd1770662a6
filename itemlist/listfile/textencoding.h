#pragma once

// The encodings are in a folder of their own; this is for the includes that name them here.
#include "listfile/encoding/textencoding.h"
