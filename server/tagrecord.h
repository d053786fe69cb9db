#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>

// A stored file's entity tag (versions.h) kept beside it, so that a reading can send the tag
// before the first byte of the content without a pass over the file. The tag lives in the
// file's extended attribute user.vidodu.etag together with the size, modification time and
// inode it was made for: a file changed in place, or copied without the script, no longer
// matches and is hashed again. Hard links share the attribute, as they share the bytes.
namespace vidodu {

// Records the tag of the file's bytes as they are now; a file system without extended
// attributes (or a file the script may not change) simply keeps none.
void RecordTag(int fd, const std::string &tag);

// The file's tag: the recorded one when it still matches `st` (the file's fstat), else one
// pass over the bytes, recorded for the next time. Nothing when the file cannot be read.
std::optional<std::string> TagOf(int fd, const struct stat &st);

} // namespace vidodu
