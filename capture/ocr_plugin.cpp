#include "capture/ocr_plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/text_codec.h"
#include "context/app_config.h"

namespace tendrix::capture {

OcrPlugin::Status OcrPlugin::Load(const std::string& dir) {
    Unload();
    const std::string path = dir.empty() ? std::string(kLibraryName) : dir + kLibraryName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : "dlopen failed";
        return status_ = Status::NotLoadable;
    }
    entry_ = reinterpret_cast<Entry>(dlsym(handle_, kEntryName));
    if (!entry_) {
        error_ = std::string("no entry ") + kEntryName + " in " + path;
        Unload();
        return status_ = Status::NotLoadable;
    }
    // Probe: five zero arguments and a zeroed 100-byte buffer.
    char probe[kProbeBufferBytes] = {};
    entry_(nullptr, 0, 0, 0, 0, probe);
    probe[kProbeBufferBytes - 1] = '\0';
    if (std::strstr(probe, common::Utf8ToGbk(kMissingEnvironmentText).c_str())) {
        error_ = kMissingEnvironmentText;
        Unload();
        return status_ = Status::MissingEnvironment;
    }
    error_.clear();
    return status_ = Status::Ready;
}

void OcrPlugin::Unload() {
    entry_ = nullptr;
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    status_ = Status::NotLoaded;
}

std::string OcrPlugin::Recognise(const uint8_t* grey, int width, int height) const {
    if (status_ != Status::Ready || !entry_ || !grey || width <= 0 || height <= 0) return {};
    std::vector<char> out(kResultBufferBytes, '\0');
    entry_(grey, width, height, 1, width, out.data());
    out.back() = '\0';
    return out.data();
}

std::string PluginDirectory(const std::string& fallback_dir) {
    const std::string exe_dir = context::ExecutableDir();
    if (access((exe_dir + OcrPlugin::kLibraryName).c_str(), F_OK) == 0) return exe_dir;
    if (fallback_dir.empty()) return exe_dir;
    return fallback_dir.back() == '/' ? fallback_dir : fallback_dir + '/';
}

}  // namespace tendrix::capture
