#pragma once

#include "sys/write_all.h"

#include <QString>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace q3 {

// What becomes of a file already at the destination.
enum class Existing
{
    Keep,    // the output fails with "already exists", even if another program made it meanwhile
    Replace, // the output takes its place
};

// An output that is written whole or not at all: a hidden temporary file beside the destination,
// every write checked, and on commit flushed to the disk and given the destination's name in one
// step. Until then the destination is untouched; if anything fails, or the object goes before
// commit(), or a stop signal ends the program, only the temporary file is removed.
//
// A destination that is a symbolic link is written through: the file goes where the link leads
// and the link stays as the user made it; but a link is followed only where the system itself
// would follow it (see followLinks). A replaced file keeps its permissions, without the
// set-user-ID and set-group-ID bits.
//
// The first failure is kept: later calls do nothing and return false, and message() gives the
// one line to show ("cannot write PATH: REASON").
class OutputFile
{
public:
    OutputFile(const QString& destination, Existing existing);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&&) = delete;
    OutputFile& operator=(OutputFile&&) = delete;

    bool write(std::string_view bytes);
    // Flushes, closes and places the file under its name.
    bool commit();
    // The same for files that belong together, such as a recording and its subtitles: either
    // every one of them is placed, or none is and the files they would have replaced are back.
    // Returns null, or the file whose failure stopped them all: its message() is the one to show.
    static OutputFile* commitTogether(std::span<OutputFile* const> files);
    // Removes the temporary file and keeps `reason` as the failure, unless there is one already.
    void abandon(const std::string& reason);

    [[nodiscard]] bool failed() const { return !message_.empty(); }
    [[nodiscard]] const std::string& message() const { return message_; }
    // The open temporary file, for writers that seek (-1 once closed or failed).
    [[nodiscard]] int descriptor() const { return fd_; }
    // A failure met by a writer that used the descriptor itself.
    void noteError(int error);

private:
    void fail(const std::string& message);
    void removeTemporary();
    bool close();
    bool place();
    void unplace();
    void settle();

    QString shown_; // the destination as the user named it
    std::string destination_;
    std::string temporary_;
    std::string previous_; // while placing: a second name of the file replaced, to undo it
    Existing existing_;
    int fd_ = -1;
    int slot_ = -1;
    std::string message_;
};

// Where `path` leads: the file at the end of its symbolic links, which need not exist. A path
// that is not a link is returned as it is.
//
// A link is followed only where the system would follow it for a program that guards against
// links planted by others (fs.protected_symlinks): in a folder that anyone may write and that has
// the sticky bit, such as /tmp, only a link that belongs to the user running the program or to
// the folder's owner. Otherwise `refused` says why, whatever the system is set to.
// A link of /proc that stands for a process's open pipe or socket (/proc/PID/fd/N) is where the
// path ends: opening the link reaches that file.
struct FollowedPath
{
    QString path;
    std::string refused; // empty where every link could be followed
};
[[nodiscard]] FollowedPath followLinks(const QString& path);

// The length of the path of the hidden file written beside `destination` (a path with its links
// followed) before it takes its name.
[[nodiscard]] std::size_t temporaryPathLength(const QByteArray& destination);

// A path as messages show it: as it is, or in single quotes with \n, \t and other unprintable
// bytes escaped, so that a message always stays on one line.
[[nodiscard]] std::string shownPath(const QString& path);
// Always in quotes, escaped the same way.
[[nodiscard]] std::string quotedPath(const QString& path);
// The one wording of an output that could not be written: "cannot write NAME: REASON", with the
// name as shownPath gives it.
[[nodiscard]] std::string cannotWrite(const std::string& shownName, std::string_view reason);

// Whether a file could be created or replaced at `path`; the reason where it could not.
[[nodiscard]] std::optional<std::string> whyNotWritable(const QString& path);

// The folder of a path ("." for a bare name, "/" for one at the root) and the name in it.
[[nodiscard]] QString folderPart(const QString& path);
[[nodiscard]] QString namePart(const QString& path);
// stat(2) of `path`, a plain call, so that every name is a path: Qt reads names that begin with
// ":" as its resources.
bool statPath(const QString& path, struct stat& info);

} // namespace q3
