#pragma once
// Where the engine's bytes go. The SDK transports and the direct USB device implement it;
// MemoryPort keeps the bytes (the benchmark and the byte-level checks use it).
#include <string>
#include <string_view>

namespace tendrix::printing {

class PrinterPort {
  public:
    virtual ~PrinterPort() = default;
    // Raw ESC/POS bytes. Write failures are not reported to the receipt logic.
    virtual void Write(std::string_view bytes) = 0;
    // Prints Code 128 data (already "{C"/"{B" prefixed) at 40 dots, module 2, height 56.
    virtual void Barcode(std::string_view data) = 0;
    // Document bracket of a driver printer; no-ops elsewhere.
    virtual void StartDoc() {}
    virtual void EndDoc() {}
};

// The Code 128 command sequence that a printer receives for `data` (GS k 73).
// font/hri: GS f and GS H arguments.
std::string Code128Bytes(std::string_view data, int font, int hri);

// Collects everything in one byte string, barcodes rendered as the direct USB transport does.
class MemoryPort : public PrinterPort {
  public:
    void Write(std::string_view bytes) override { bytes_.append(bytes); }
    void Barcode(std::string_view data) override { bytes_ += Code128Bytes(data, 1, 0); }
    const std::string& bytes() const { return bytes_; }
    void Clear() { bytes_.clear(); }

  private:
    std::string bytes_;
};

}  // namespace tendrix::printing
