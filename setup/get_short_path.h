// The short-path routine both setup tools share: the registration tool gets the component's
// path in its 8.3 form, which holds no blanks on volumes that keep short names.
#pragma once

#include <string>

namespace Module1 {

// The short form of an existing path; the empty text when the path does not exist or the
// service fails. Where the volume keeps no short names, the long path comes back unchanged.
std::string GetShortPath(std::string longPath);

} // namespace Module1
