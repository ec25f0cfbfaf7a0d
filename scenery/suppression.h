// What the manifest says about the scenery, for the window and the actions.
#pragma once
#include <string>

namespace orvl {

struct Suppression {
  bool suppressed = false;  // the manifest has at least one row
  int airports = 0;         // number of rows
  int files = 0;            // distinct "file" values
  std::string sig;          // first non-empty "sig"
  std::string owner;        // first non-empty "owner" ("plugin" when a row has none)
};

}  // namespace orvl
