#include "app/version.h"
#include "app/video_encoder.h"
#include "video/video_module_abi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>
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

// The module's reason for its last failure.
std::string moduleError(const Quillet3VideoModule& module, const Quillet3VideoEncoder* encoder)
{
    std::array<char, kVideoModuleErrorBytes> text{};
    module.error(encoder, text.data(), text.size());
    return text.data();
}

// An encoder of the module, called through its table.
class ModuleEncoder final : public VideoEncoder
{
public:
    ModuleEncoder(const Quillet3VideoModule& module, Quillet3VideoEncoder* encoder)
        : module_(module), encoder_(encoder)
    {}
    ModuleEncoder(const ModuleEncoder&) = delete;
    ModuleEncoder& operator=(const ModuleEncoder&) = delete;
    ModuleEncoder(ModuleEncoder&&) = delete;
    ModuleEncoder& operator=(ModuleEncoder&&) = delete;
    ~ModuleEncoder() override { module_.close(encoder_); }

    bool addFrame(const QImage& image, long long index) override
    {
        if (image.format() != QImage::Format_BGR888) {
            error_ = "a frame of the wrong size or format";
            return false;
        }
        return succeeded(module_.addFrame(encoder_, image.constBits(), image.width(),
                                          image.height(), image.bytesPerLine(), index));
    }
    bool finish(long long endIndex) override
    {
        return succeeded(module_.finish(encoder_, endIndex));
    }
    [[nodiscard]] const std::string& error() const override { return error_; }
    [[nodiscard]] int writeError() const override { return module_.writeError(encoder_); }
    [[nodiscard]] long long framesEncoded() const override
    {
        return module_.framesEncoded(encoder_);
    }

private:
    bool succeeded(int result)
    {
        if (result == 0 && error_.empty())
            error_ = moduleError(module_, encoder_);
        return result != 0;
    }

    const Quillet3VideoModule& module_;
    Quillet3VideoEncoder* encoder_;
    std::string error_;
};

// The module's table, where it was built with this interface and this version.
const Quillet3VideoModule* tableOf(void* module)
{
    const auto entry = reinterpret_cast<VideoModuleEntry>(dlsym(module, kVideoModuleEntry));
    const Quillet3VideoModule* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->tableSize != sizeof(Quillet3VideoModule) ||
        table->interfaceTag != kVideoModuleInterfaceTag || table->version == nullptr ||
        std::string_view(table->version) != kVersion)
        return nullptr;
    return table;
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
    const Quillet3VideoModule* table = tableOf(module);
    if (table == nullptr) {
        error = "the video encoder belongs to another version: " + found->toStdString();
        return nullptr;
    }
    const Quillet3VideoSettings plain{static_cast<int>(settings.format), settings.size.width(),
                                      settings.size.height(), settings.fps,
                                      settings.constantRate ? 1 : 0};
    std::array<char, kVideoModuleErrorBytes> why{};
    Quillet3VideoEncoder* encoder = table->open(fd, &plain, why.data(), why.size());
    if (encoder == nullptr) {
        error = why.data();
        return nullptr;
    }
    return std::make_unique<ModuleEncoder>(*table, encoder);
}

std::unique_ptr<VideoEncoder> openVideoEncoder(int fd, const VideoSettings& settings,
                                               std::string& error)
{
    return openVideoEncoderFrom(videoModuleCandidates(programDir()), fd, settings, error);
}

} // namespace q3
