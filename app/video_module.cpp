#include "app/video_encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dlfcn.h>

namespace q3 {
namespace {

constexpr const char* kModuleFile = "libquillet3-video.so";

// The program's own folder, from the kernel: it needs no application object and follows the
// links by which the program may have been started.
QString programDir()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath())
        .absolutePath();
}

} // namespace

std::optional<VideoFormat> videoFormatFor(const QString& path)
{
    return videoFormatOfName(path.toStdString());
}

QStringList videoModuleCandidates(const QString& programDir)
{
    const QDir dir(programDir);
    return {
        QDir::cleanPath(dir.filePath(QStringLiteral(QUILLET3_MODULE_DIR "/") + kModuleFile)),
        dir.filePath(kModuleFile),
    };
}

std::unique_ptr<VideoEncoder> openVideoEncoderFrom(const QStringList& candidates, int fd,
                                                   const VideoSettings& settings,
                                                   std::string& error)
{
    const auto found = std::find_if(candidates.begin(), candidates.end(),
                                    [](const QString& file) { return QFileInfo(file).isFile(); });
    if (found == candidates.end()) {
        error = "the video encoder is not installed (" + std::string(kModuleFile) + ")";
        return nullptr;
    }
    // Loaded straight through the dynamic loader and never unloaded: the encoder's code must
    // stay while any encoder lives, and unloading FFmpeg at exit would only cost time.
    void* module = dlopen(QFile::encodeName(*found).constData(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = "cannot load the video encoder: " + std::string(why != nullptr ? why : "unknown");
        return nullptr;
    }
    const auto version =
        reinterpret_cast<VideoModuleVersionFunction>(dlsym(module, kVideoModuleVersionSymbol));
    const auto open =
        reinterpret_cast<VideoModuleOpenFunction>(dlsym(module, kVideoModuleOpenSymbol));
    if (version == nullptr || open == nullptr || version() != kVideoModuleVersion) {
        error = "the video encoder belongs to another version: " + found->toStdString();
        return nullptr;
    }
    return std::unique_ptr<VideoEncoder>(open(fd, settings, error));
}

std::unique_ptr<VideoEncoder> openVideoEncoder(int fd, const VideoSettings& settings,
                                               std::string& error)
{
    return openVideoEncoderFrom(videoModuleCandidates(programDir()), fd, settings, error);
}

} // namespace q3
