// The other names of the dictionary's species (synonyms.csv) and the words of
// survey records that name no taxon (not-a-taxon.txt), as the tables give them.
#pragma once

#include <string>
#include <vector>

// A line of synonyms.csv: a name, the code of the species it names, and that
// species' current name.
struct SynonymLine {
  std::string name;
  std::string code;  // as written
  std::string currentName;
};
// The lines of synonyms.csv of the folder that hold its columns name, code and
// current_name, in file order; none when the file is absent or no CSV.
std::vector<SynonymLine> LoadSynonyms(const std::string& folder);

// The lines of not-a-taxon.txt of the folder, or of the bundled tables when the
// folder has none: each trimmed, blank lines and # comments left out.
std::vector<std::string> LoadNotTaxonWords(const std::string& folder);
