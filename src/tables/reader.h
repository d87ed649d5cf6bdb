// Inputs read a record at a time: the reader lives in common/reader.h, below
// the reference tables that read their CSV files with it; this header keeps the
// includes of the survey readers as they were.
#pragma once

#include "common/reader.h"
