// Serial ports and the customer-display pass-through over real pseudo terminals (socat).
#include "capture/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "capture/capture_sources.h"
#include "common/serial_chunk.h"
#include "common/serial_device.h"
#include "common/text_codec.h"
#include "store/settings_keys.h"
#include "tests/capture/capture_test_support.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::capture;
using namespace tendrix::common;
using namespace tendrix::store;
using tendrix::test::RecordingSink;
using tendrix::test::SocatPair;

namespace {

// Reads from a device until `size` bytes arrived or nothing came for two seconds.
std::string ReadAll(SerialDevice& dev, size_t size) {
    std::string got;
    char buf[1024];
    while (got.size() < size) {
        const long n = dev.Read(buf, sizeof buf, std::chrono::milliseconds(2000));
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

class SerialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SocatPair::Available()) GTEST_SKIP() << "socat is not installed";
        pos_ = std::make_unique<SocatPair>(dir_.path(), "pos");       // POS program <-> listening
        display_ = std::make_unique<SocatPair>(dir_.path(), "disp");  // forwarding <-> display
        ASSERT_TRUE(pos_->Ready() && display_->Ready());
        std::ofstream(dir_ / "ports.ini") << "COM5=" << pos_->b() << "\nCOM6=" << display_->a()
                                          << "\nCOM8=" << dir_.path() << "missing\n";
        map_ = PortMap(dir_ / "ports.ini");
        settings_.Set(keys::sysCaptureComMoney, "TRUE");
        settings_.Set(keys::sysVirtualComdRecvId, "COM5->COM7");
        settings_.Set(keys::sysComMachineSendID, "COM6");
        settings_.Set(keys::sysBaudRateSet, "9600");
        settings_.Set(keys::sysFilterMoneyMsg, "无");
    }

    // Plays the main window once `total` bytes of command 3 arrived since the test began: each
    // new chunk goes through HandleDisplayData. Returns the amounts found.
    std::vector<std::string> Pump(CaptureSources& sources, size_t total) {
        sink_.WaitForBytes(CheckoutCommand::DisplayData, total);
        const auto chunks = sink_.Payloads(CheckoutCommand::DisplayData);
        std::vector<std::string> amounts;
        for (; seen_ < chunks.size(); ++seen_) {
            EXPECT_LE(chunks[seen_].size(), SerialChunk::kMaxBytes);
            if (auto a = sources.HandleDisplayData(chunks[seen_])) amounts.push_back(*a);
        }
        return amounts;
    }
    size_t seen_ = 0;

    tendrix::test::TempDir dir_;
    std::unique_ptr<SocatPair> pos_, display_;
    PortMap map_;
    Settings settings_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(SerialTest, PassThroughKeepsEveryByteInOrderAndFindsAmounts) {
    CaptureSources sources(settings_, map_, sink_, nullptr, "/nonexistent/");
    sources.ApplyPortSettings();
    ASSERT_TRUE(sources.ListeningPort() && sources.ForwardingPort());
    EXPECT_TRUE(sink_.Payloads(CheckoutCommand::ShowMessage).empty());

    SerialDevice pos, display;
    ASSERT_TRUE(pos.Open(pos_->a(), 9600));
    ASSERT_TRUE(display.Open(display_->b(), 2400));

    // A display line, then every byte value, then a run longer than one chunk.
    std::string sent = "TOTAL 12.30 CASH 20.00 CHANGE 7.70";
    ASSERT_TRUE(pos.Write(sent.data(), sent.size()));
    auto amounts = Pump(sources, sent.size());
    ASSERT_FALSE(amounts.empty());
    EXPECT_EQ(amounts.front(), "20.00");

    std::string all_bytes;
    for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
    std::string bulk;
    for (int i = 0; i < 1200; ++i) bulk += static_cast<char>('A' + i % 26);
    ASSERT_TRUE(pos.Write(all_bytes.data(), all_bytes.size()));
    ASSERT_TRUE(pos.Write(bulk.data(), bulk.size()));
    sent += all_bytes + bulk;
    Pump(sources, sent.size());

    EXPECT_EQ(ReadAll(display, sent.size()), sent);
    EXPECT_EQ(sink_.Joined(CheckoutCommand::DisplayData), sent);
    EXPECT_TRUE(sink_.Payloads(CheckoutCommand::ShowMessage).empty());
}

TEST_F(SerialTest, VanishedPortIsReopenedWhenItComesBack) {
    settings_.Set(keys::sysComMachineSendID, "无");
    CaptureSources sources(settings_, map_, sink_, nullptr, "/nonexistent/");
    sources.ApplyPortSettings();
    ASSERT_TRUE(sources.ListeningPort());
    for (int round = 0; round < 2; ++round) {
        pos_->Stop();  // both ends of the pair go away under the reader
        auto messages = sink_.WaitFor(CheckoutCommand::ShowMessage, 1);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(GbkToUtf8(messages[0]), SerialPort::kReadFailedText);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * SerialPort::kReopenMs));
        EXPECT_EQ(sink_.Payloads(CheckoutCommand::ShowMessage).size(), 1u);  // once, not per retry
        EXPECT_TRUE(sources.ListeningPort()->ReaderRunning());

        // The device is back under the same name: data flows again without re-applying settings.
        pos_ = std::make_unique<SocatPair>(dir_.path(), "pos");
        ASSERT_TRUE(pos_->Ready());
        SerialDevice pos;
        ASSERT_TRUE(pos.Open(pos_->a(), 9600));
        std::string got;
        for (int i = 0; i < 40 && got.empty(); ++i) {
            ASSERT_TRUE(pos.Write("8.88", 4));
            got =
                sink_.WaitForBytes(CheckoutCommand::DisplayData, 4, std::chrono::milliseconds(250));
        }
        EXPECT_EQ(got.substr(0, 4), "8.88");
        sink_.Clear();
    }
    sources.HandlePortControl("CloseGetMoney");
    EXPECT_EQ(sources.ListeningPort(), nullptr);
    EXPECT_EQ(sources.ForwardingPort(), nullptr);
}

TEST_F(SerialTest, FailuresAreReportedWithTheirTexts) {
    // Forwarding port that does not exist, listening port that does not exist, face-pay port
    // that does not exist: three messages, the rest of the set-up goes on.
    settings_.Set(keys::sysComMachineSendID, "COM8");
    settings_.Set(keys::sysVirtualComdRecvId, "COM8->COM9");
    settings_.Set(keys::sysIsDragonflyControl, "TRUE");
    settings_.Set(keys::sysDragonflyControlComId, "COM8");
    settings_.Set(keys::sysIsBarcodeCapture, "TRUE");
    settings_.Set(keys::sysCaptureWay, "USB串口");
    settings_.Set(keys::sysCaptureComId, "COM5");
    CaptureSources sources(settings_, map_, sink_, nullptr, "/nonexistent/");
    sources.ApplyPortSettings();
    auto messages = sink_.Payloads(CheckoutCommand::ShowMessage);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(GbkToUtf8(messages[0]), kForwardOpenFailed);
    EXPECT_EQ(GbkToUtf8(messages[1]), kListenOpenFailed);
    EXPECT_EQ(GbkToUtf8(messages[2]), kFacePayOpenFailed);
    // The scanner port opened anyway and delivers command 6.
    ASSERT_TRUE(sources.ScannerPort());
    EXPECT_FALSE(sources.ScannerPort()->Write("x"));  // read-only variant
    SerialDevice scanner;
    ASSERT_TRUE(scanner.Open(pos_->a(), 9600));
    ASSERT_TRUE(scanner.Write("6912345678901\r", 14));
    EXPECT_EQ(sink_.WaitForBytes(CheckoutCommand::ScannerData, 14), "6912345678901\r");
    EXPECT_TRUE(sink_.Payloads(CheckoutCommand::DisplayData).empty());
}

TEST_F(SerialTest, FacePayGreetingForwardWriteFailureAndFilterPattern) {
    settings_.Set(keys::sysCaptureComMoney, "FALSE");
    settings_.Set(keys::sysIsDragonflyControl, "TRUE");
    settings_.Set(keys::sysDragonflyControlComId, "COM6");
    CaptureSources sources(settings_, map_, sink_, nullptr, "/nonexistent/");
    sources.ApplyPortSettings();
    EXPECT_EQ(sources.ListeningPort(), nullptr);  // display capture is off
    ASSERT_TRUE(sources.FacePayPort());
    SerialDevice device;
    ASSERT_TRUE(device.Open(display_->b(), 9600));
    const std::string greeting(reinterpret_cast<const char*>(kFacePayGreeting), 10);
    EXPECT_EQ(ReadAll(device, 10), greeting);

    // A forwarding port whose device went away: the write fails and says so once, however
    // many chunks follow; the amount is still taken from each chunk (after the filter pattern,
    // when one is set). When the display is back the chunks reach it again.
    settings_.Set(keys::sysCaptureComMoney, "TRUE");
    settings_.Set(keys::sysIsDragonflyControl, "FALSE");
    settings_.Set(keys::sysVirtualComdRecvId, "无");
    settings_.Set(keys::sysFilterMoneyMsg, "PAY ");
    sources.ApplyPortSettings();
    ASSERT_TRUE(sources.ForwardingPort());
    display_->Stop();
    sink_.Clear();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sources.HandleDisplayData("PAY 5.00"), "5.00");
    EXPECT_EQ(sources.HandleDisplayData("TOTAL 12.30"), std::nullopt);  // the pattern is not there
    auto messages = sink_.Payloads(CheckoutCommand::ShowMessage);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(GbkToUtf8(messages[0]), kForwardWriteFailed);

    display_ = std::make_unique<SocatPair>(dir_.path(), "disp");
    ASSERT_TRUE(display_->Ready());
    SerialDevice display;
    ASSERT_TRUE(display.Open(display_->b(), 9600));
    std::this_thread::sleep_for(std::chrono::milliseconds(SerialPort::kReopenMs + 100));
    EXPECT_EQ(sources.HandleDisplayData("PAY 6.00"), "6.00");
    EXPECT_EQ(ReadAll(display, 8), "PAY 6.00");
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::ShowMessage).size(), 1u);
}

TEST(SerialPortBasics, RefusesBadUseWithoutCrashing) {
    SerialPort port;
    EXPECT_FALSE(port.StartReader());  // not open
    EXPECT_FALSE(port.Write("x"));
    EXPECT_FALSE(port.Open("COM1", 9600, 'X'));  // no device or bad parity: both fail
    EXPECT_FALSE(port.Open("/nonexistent/tty", 9600));
    EXPECT_FALSE(port.Error().empty());
    port.StopReader();
    port.Close();
}

TEST(SerialPortBasics, StalledDisplayCostsOneTimeOutNotOnePerWrite) {
    // A display that stops taking data: a pipe with a one-page buffer that nobody reads.
    tendrix::test::TempDir dir;
    const std::string path = dir.path() + "display";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int held = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ::fcntl(held, F_SETPIPE_SZ, 4096);
    SerialPort port(SerialPort::Variant::Display);
    ASSERT_TRUE(port.Open(path, 9600)) << port.Error();
    EXPECT_TRUE(port.Write(std::string(4096, 'x')));
    const auto timed = [&](const std::string& bytes) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(port.Write(bytes));
        return std::chrono::steady_clock::now() - start;
    };
    // The time-out is waited in whole milliseconds: allow it to end a little early.
    EXPECT_GE(timed("PAY 5.00"), std::chrono::milliseconds(SerialPort::kWriteTimeoutMs * 9 / 10));
    for (int i = 0; i < 5; ++i) EXPECT_LT(timed("PAY 5.00"), std::chrono::milliseconds(100));
    // Once it takes data again, writes go through.
    char sink[8192];
    while (::read(held, sink, sizeof sink) > 0) {
    }
    EXPECT_TRUE(port.Write("PAY 6.00"));
    ::close(held);
}
