#pragma once

#include <QString>

namespace version {

// The program's own version numbers, as the build gives them.
struct VersionNumbers {
    int major = 0;
    int minor = 0;
    int revision = 0;
};
VersionNumbers ProgramVersion();

// "Ver" + major + "." + minor with at least two digits, then from revision 1000 on one letter
// counting the thousands: "a" for 1000 to 1999, "b" for 2000 to 2999, ...
QString VersionText(int major, int minor, int revision);

// The version as the settings store's "UpdateInfo" / "CurrentVersion" keeps it: major as it
// is, minor in two digits, revision in four; 1, 0, 0 gives "1.00.0000".
QString CurrentVersionText(const VersionNumbers &numbers);

// "build " + revision when the revision is 1000 or more and its last three digits make 100 or
// more; otherwise empty.
QString BuildText(int revision);

} // namespace version
