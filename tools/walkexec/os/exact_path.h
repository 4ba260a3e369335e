// Windows trims the dots and blanks that end a name when it reads a path in
// the ordinary form: a file whose name ends so (made from Linux, a share, or
// by the long form) would be another file, or none. Such a path goes in the
// long form, which takes every name as it stands.
#ifndef WALKEXEC_OS_EXACT_PATH_H
#define WALKEXEC_OS_EXACT_PATH_H

#include <string>

namespace os {

// `path` in the long form when one of its names ends in a dot or a blank,
// else as it is.
std::wstring exactPath(const std::wstring& path);

}  // namespace os

#endif
