// A names map the user edits: names as written, and the name to use instead.
#pragma once

#include <map>
#include <ostream>
#include <string>

#include "names/resolver.h"

// A names map: a CSV file whose first column is a name as written and whose
// second the name to use instead (a header "name,..." and rows with no name to
// use are passed over; other columns are ignored). Each name to use must reach
// a dictionary entry by its full name, or be a not-a-taxon word: every row that
// does not is said as FILE:LINE, and the map refused (false).
bool ReadNamesMap(const std::string& path, const NameResolver& resolver, std::map<std::string, std::string>& map,
                  Console& con);
