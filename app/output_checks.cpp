#include "app/output_checks.h"

#include "app/output_file.h"
#include "app/standard_streams.h"

#include <sys/stat.h>
#include <utility>
#include <vector>

namespace q3 {
namespace {

struct Problem
{
    std::string message;
};

void requireWritable(const QString& path)
{
    if (auto why = whyNotWritable(path))
        throw Problem{"cannot write " + quotedPath(path) + ": " + *why};
}

// A recording is only written whole, so an existing file is kept unless the user said otherwise.
void requireNew(const QString& path, bool overwrite)
{
    struct stat info = {};
    if (!overwrite && statPath(path, info) && !S_ISDIR(info.st_mode))
        throw Problem{quotedPath(path) + " already exists; add --overwrite to replace it"};
}

// Which file a path names, so that one file under two names is found: its device and inode, or
// for a file not made yet, its folder's and its own name.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    QString name;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat info = {};
    if (const std::optional<int> fd = namedDescriptor(path)) {
        // A stream matters only where it is a file another output could name.
        if (::fstat(*fd, &info) == 0 && S_ISREG(info.st_mode))
            return FileIdentity{info.st_dev, info.st_ino, {}};
        return std::nullopt;
    }
    const QString target = followLinks(path).path;
    if (statPath(target, info))
        return FileIdentity{info.st_dev, info.st_ino, {}};
    if (statPath(folderPart(target), info))
        return FileIdentity{info.st_dev, info.st_ino, namePart(target)};
    return std::nullopt;
}

void refuseNonRegular(const QString& path)
{
    // These files are written beside their destination and renamed over it, which would replace
    // a device or a pipe (even /dev/full, for root) instead of writing into it.
    struct stat info = {};
    if (statPath(followLinks(path).path, info) && !S_ISREG(info.st_mode))
        throw Problem{"cannot write " + quotedPath(path) + ": it is not a regular file"};
}

// A trace into a descriptor: it must be open for writing. One that was closed when the program
// started has /dev/null in its place, which would swallow the trace.
void requireWritableDescriptor(const QString& path, int fd)
{
    if (const auto why = whyNotWritableDescriptor(fd))
        throw Problem{"cannot write " +
                      (path == QStringLiteral("-") ? std::string("the trace to standard output")
                                                   : quotedPath(path)) +
                      ": " + *why};
}

// The outputs named so far, so that no two of them are one file.
class OutputClaims
{
public:
    // `path` can be written, and is no file claimed before.
    void claim(const QString& path)
    {
        if (const std::optional<int> fd = namedDescriptor(path))
            requireWritableDescriptor(path, *fd);
        else
            requireWritable(path);
        const std::optional<FileIdentity> identity = identityOf(path);
        if (!identity)
            return;
        for (const auto& [other, otherPath] : claimed_) {
            if (other != *identity)
                continue;
            if (otherPath == path)
                throw Problem{quotedPath(path) + " is named as output more than once"};
            throw Problem{shown(otherPath) + " and " + shown(path) + " are the same file"};
        }
        claimed_.emplace_back(*identity, path);
    }

private:
    static std::string shown(const QString& path)
    {
        return path == QStringLiteral("-") ? std::string("standard output") : quotedPath(path);
    }

    std::vector<std::pair<FileIdentity, QString>> claimed_;
};

// Every output can be written, and no two of them are one file.
void claimAll(const Options& o)
{
    OutputClaims claims;
    for (const ScreenshotRequest& shot : o.screenshots) {
        claims.claim(shot.path);
        refuseNonRegular(shot.path);
    }
    if (o.tracePath)
        claims.claim(*o.tracePath);
    for (const auto& path : {o.recordPath, o.subtitlesPath}) {
        if (path) {
            claims.claim(*path);
            requireNew(*path, o.overwrite);
            refuseNonRegular(*path);
        }
    }
}

} // namespace

std::string outputsProblem(const Options& options)
{
    try {
        claimAll(options);
    } catch (const Problem& problem) {
        return problem.message;
    }
    return {};
}

} // namespace q3
