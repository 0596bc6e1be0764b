#include "app/version.h"
#include "app/video_encoder.h"
#include "sys/trusted_file.h"
#include "video/video_module_abi.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q3 {
namespace {

constexpr const char* kModuleFile = "libquillet3-video.so";

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
const Quillet3VideoModule* checkedTable(void* module)
{
    const auto entry = reinterpret_cast<VideoModuleEntry>(dlsym(module, kVideoModuleEntry));
    const Quillet3VideoModule* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->tableSize != sizeof(Quillet3VideoModule) ||
        table->interfaceTag != kVideoModuleInterfaceTag || table->version == nullptr ||
        std::string_view(table->version) != kVersion)
        return nullptr;
    return table;
}

// Loads the module at `file` where it can be trusted, and checks its table: empty, with the
// table in `table`, when it is the one, or why not. Loaded straight through the dynamic loader and
// never unloaded: the encoder's code must stay while any encoder lives, and unloading FFmpeg at
// exit would only cost time.
std::string tryModule(const std::string& file, const Quillet3VideoModule*& table)
{
    if (const std::string untrusted = untrustedReason(file, geteuid()); !untrusted.empty())
        return "the video encoder is not trusted: " + untrusted;
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(file.c_str(), nullptr),
                                                           &std::free);
    void* module = real ? dlopen(real.get(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (module == nullptr) {
        const char* why = dlerror();
        return "cannot load the video encoder: " + std::string(why != nullptr ? why : file);
    }
    table = checkedTable(module);
    if (table == nullptr)
        return "the video encoder belongs to another version: " + file;
    return {};
}

} // namespace

std::optional<VideoFormat> videoFormatFor(const QString& path)
{
    return videoFormatOfName(path.toStdString());
}

std::vector<std::string> videoModuleFolders()
{
    // The running program's file, from the kernel; where /proc cannot be read, no build folder.
    std::array<char, PATH_MAX> program{};
    const ssize_t length = readlink("/proc/self/exe", program.data(), program.size() - 1);
    return videoModuleFolders(length > 0 ? std::string(program.data(), std::size_t(length))
                                         : std::string());
}

std::optional<VideoModule> loadVideoModule(const std::vector<std::string>& folders,
                                           std::string& error)
{
    std::string firstFault;
    for (const std::string& folder : folders) {
        const std::string file = folder + "/" + kModuleFile;
        struct stat info = {};
        if (lstat(file.c_str(), &info) != 0 && errno == ENOENT)
            continue;
        const Quillet3VideoModule* table = nullptr;
        std::string fault = tryModule(file, table);
        if (fault.empty())
            return VideoModule{table};
        if (firstFault.empty())
            firstFault = std::move(fault);
    }
    if (!firstFault.empty()) {
        error = firstFault;
    } else {
        error = "the video encoder is not installed (no " + std::string(kModuleFile) + " in";
        for (std::size_t i = 0; i < folders.size(); ++i)
            error += (i == 0 ? " " : i + 1 == folders.size() ? " or " : ", ") + folders[i];
        error += ")";
    }
    return std::nullopt;
}

std::unique_ptr<VideoEncoder> openVideoEncoder(const VideoModule& module, int fd,
                                               const VideoSettings& settings, std::string& error)
{
    const Quillet3VideoSettings plain{static_cast<int>(settings.format), settings.size.width(),
                                      settings.size.height(), settings.fps,
                                      settings.constantRate ? 1 : 0};
    std::array<char, kVideoModuleErrorBytes> why{};
    Quillet3VideoEncoder* encoder = module.table->open(fd, &plain, why.data(), why.size());
    if (encoder == nullptr) {
        error = why.data();
        return nullptr;
    }
    return std::make_unique<ModuleEncoder>(*module.table, encoder);
}

} // namespace q3
