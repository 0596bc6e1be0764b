#include "sys/trusted_file.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace q3 {
namespace {

// Why one path on the way cannot be trusted; empty when it can.
std::string ownershipFault(const std::string& path, const struct stat& info, uid_t user)
{
    if (info.st_uid != 0 && info.st_uid != user)
        return path + " belongs to another user";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
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
    while (at != "/") {
        const std::size_t slash = at.rfind('/');
        at = slash == 0 ? std::string("/") : at.substr(0, slash);
        if (lstat(at.c_str(), &info) != 0)
            return at + ": " + std::strerror(errno);
        if (std::string fault = ownershipFault(at, info, user); !fault.empty())
            return fault;
    }
    return {};
}

} // namespace q3
