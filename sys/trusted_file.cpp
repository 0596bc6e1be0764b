#include "sys/trusted_file.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>

namespace q3 {
namespace {

// Whether the group of a file is its owner's own: the owner's primary group, with nobody else
// named in it, as the groups made for each user (user private groups) are. Such a group may
// write the file; it lets nobody else in.
bool ownersOwnGroup(const struct stat& info)
{
    const passwd* owner = getpwuid(info.st_uid);
    if (owner == nullptr || owner->pw_gid != info.st_gid)
        return false;
    const group* members = getgrgid(info.st_gid);
    if (members == nullptr)
        return false;
    for (char** member = members->gr_mem; *member != nullptr; ++member)
        if (std::strcmp(*member, owner->pw_name) != 0)
            return false;
    return true;
}

// Why one path on the way cannot be trusted; empty when it can. `stickyAllowed`: a folder further
// up than the file's own may be one that anyone can write but that has the sticky bit (/tmp): no
// one but the owner of the folder below it, already checked, can rename or remove that folder.
std::string ownershipFault(const std::string& path, const struct stat& info, uid_t user,
                           bool stickyAllowed = false)
{
    if (info.st_uid != 0 && info.st_uid != user)
        return path + " belongs to another user";
    if (stickyAllowed && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0)
        return {};
    if ((info.st_mode & S_IWOTH) != 0 || ((info.st_mode & S_IWGRP) != 0 && !ownersOwnGroup(info)))
        return path + " can be written by others";
    return {};
}

} // namespace

std::string untrustedReason(const std::string& path, uid_t user)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real)
        return path + ": " + std::strerror(errno);
    std::string at = real.get();
    struct stat info = {};
    if (lstat(at.c_str(), &info) != 0)
        return at + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return at + " is not a regular file";
    if (std::string fault = ownershipFault(at, info, user); !fault.empty())
        return fault;
    // The file's own folder may not be written by others, sticky or not: they could put a file
    // of the module's name there before it is made.
    for (bool ownFolder = true; at != "/"; ownFolder = false) {
        const std::size_t slash = at.rfind('/');
        at = slash == 0 ? std::string("/") : at.substr(0, slash);
        if (lstat(at.c_str(), &info) != 0)
            return at + ": " + std::strerror(errno);
        if (std::string fault = ownershipFault(at, info, user, !ownFolder); !fault.empty())
            return fault;
    }
    return {};
}

} // namespace q3
