#pragma once

#include <string>
#include <sys/types.h>

namespace q3 {

// Why the file at `path` cannot be trusted to hold code the program runs, in a few words naming
// the path at fault; empty when it can. The file, after its links, must be a regular file, and it
// and every folder above it up to / must belong to root or to `user` and be writable by nobody
// else: not by others, and not by their group unless that is the owner's own (its primary group,
// naming no one else). A folder further up than the file's own may be a sticky folder anyone can
// write, such as /tmp: its sticky bit keeps others from renaming or removing what is below it.
// Then no other user can put another file in its place.
[[nodiscard]] std::string untrustedReason(const std::string& path, uid_t user);

} // namespace q3
