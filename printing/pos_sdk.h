#pragma once
// The printer vendor SDK library (libPOSDLL.so), loaded at run time. Load() resolves every
// entry name in the fixed order and fails at the first one missing; the engine calls six.
#include <cstdint>
#include <string>

namespace tendrix::printing {

using PosHandle = void*;
// The invalid handle value: what POS_Open returns when the port cannot be opened.
inline PosHandle InvalidPosHandle() {
    return reinterpret_cast<PosHandle>(intptr_t(-1));
}

// What the entry points return on success.
inline constexpr int kPosSuccess = 1001;

// Port kinds of POS_Open.
enum PosPortKind : int { kPosSerial = 1, kPosParallel = 18, kPosDriver = 20, kPosNetwork = 21 };

// The entry names resolved by the loader, in order.
extern const char* const kPosEntryNames[37];

class PosSdk {
  public:
    using OpenFn = PosHandle (*)(const char* name, int baud, int data_bits, int stop_bits,
                                 int parity, int port_kind);
    using VoidFn = int (*)();
    using WriteFn = int (*)(PosHandle handle, const char* bytes, unsigned long length);
    using BarcodeFn = int (*)(const char* data, int left_dots, int type, int module_width,
                              int height, int hri_font, int hri_position, int length);

    PosSdk() = default;
    ~PosSdk() { Release(); }
    PosSdk(const PosSdk&) = delete;
    PosSdk& operator=(const PosSdk&) = delete;

    // Loads the library at `path` (no-op when it is already loaded). False with Error() set.
    bool Load(const std::string& path);
    void Release();
    bool Loaded() const { return lib_ != nullptr; }
    const std::string& Error() const { return error_; }

    OpenFn Open = nullptr;
    VoidFn Close = nullptr;
    VoidFn StartDoc = nullptr;
    VoidFn EndDoc = nullptr;
    WriteFn WriteFile = nullptr;
    BarcodeFn SetBarcode = nullptr;
    // Optional extra entry of our own library: the reason of the last failure, or nullptr.
    using ErrorFn = int (*)(char* out, int size);  // copies the last error, returns its length
    ErrorFn LastError = nullptr;

    // The library beside the running program: <program dir>/libPOSDLL.so.
    static std::string DefaultPath();

  private:
    void* lib_ = nullptr;
    std::string error_;
};

}  // namespace tendrix::printing
