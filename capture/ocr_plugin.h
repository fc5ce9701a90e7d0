#pragma once
// The recognition library loaded at run time: libTesseractDLL.so with its entry
// themePictureByMem(pixels, width, height, bytes_per_pixel, bytes_per_line, out).
#include <cstdint>
#include <string>

namespace tendrix::capture {

class OcrPlugin {
  public:
    static constexpr const char* kLibraryName = "libTesseractDLL.so";
    static constexpr const char* kEntryName = "themePictureByMem";
    // What the probe call answers when the engine or its data is missing (UTF-8 here; the
    // library writes it in GBK).
    static constexpr const char* kMissingEnvironmentText =
        "运行缺少环境，请安装插件tesseract，3.02.02版本！";
    static constexpr size_t kProbeBufferBytes = 100;
    static constexpr size_t kResultBufferBytes = 1024;

    using Entry = int (*)(const unsigned char* pixels, int width, int height, int bytes_per_pixel,
                          int bytes_per_line, char* out);

    enum class Status { NotLoaded, Ready, NotLoadable, MissingEnvironment };

    OcrPlugin() = default;
    ~OcrPlugin() { Unload(); }
    OcrPlugin(const OcrPlugin&) = delete;
    OcrPlugin& operator=(const OcrPlugin&) = delete;

    // Loads kLibraryName from `dir` (ending in '/'; empty: the dynamic loader's search path),
    // looks up the entry and makes the probe call.
    Status Load(const std::string& dir);
    void Unload();
    Status status() const { return status_; }
    const std::string& Error() const { return error_; }

    // Recognises an 8-bit grey picture (stride = width). Returns the library's 8-bit text;
    // empty when not ready.
    std::string Recognise(const uint8_t* grey, int width, int height) const;

  private:
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
    Status status_ = Status::NotLoaded;
    std::string error_;
};

// The program directory (where the executable and its plugins live), ending in '/'. When the
// library is not beside the executable (tests, benchmarks), `fallback_dir` if given.
std::string PluginDirectory(const std::string& fallback_dir = {});

}  // namespace tendrix::capture
