// The apt.dat files of an X-Plane installation in scenery order, read from
// root + "Custom Scenery/scenery_packs.ini" ("SCENERY_PACK " lines, with
// "*GLOBAL_AIRPORTS*" marking the place of the global airports file). The root
// ends with "/"; paths are made by plain concatenation onto it. Read-only, no
// errors: a missing pack list gives no pack lines.
#pragma once
#include <string>
#include <vector>

namespace ftgdb {

// The apt.dat files that exist, in list order (a pack listed twice comes twice);
// the global airports file is appended last when the list did not place it.
std::vector<std::string> aptDatFilesInOrder(const std::string& root);

// The apt.dat paths, in the same order and each once, whose file is missing
// while its ".orvane-orig" backup exists.
std::vector<std::string> aptDatBackupsInOrder(const std::string& root);

}  // namespace ftgdb
