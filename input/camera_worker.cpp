#include "input/camera_worker.h"

#include <zbar.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <thread>

namespace tendrix::input {
namespace {

constexpr std::chrono::milliseconds kPause(100);

class VideoCaptureSource final : public FrameSource {
  public:
    explicit VideoCaptureSource(int device) : device_(device) {}
    ~VideoCaptureSource() override { capture_.release(); }
    bool Open() override {
        if (!capture_.isOpened()) capture_.open(device_);
        return capture_.isOpened();
    }
    bool Read(CameraFrame& frame) override {
        cv::Mat mat;
        capture_ >> mat;
        if (mat.empty() || mat.depth() != CV_8U) return false;
        if (!mat.isContinuous()) mat = mat.clone();
        frame.width = mat.cols;
        frame.height = mat.rows;
        frame.channels = mat.channels();
        frame.pixels.assign(mat.data, mat.data + mat.total() * mat.elemSize());
        return true;
    }

  private:
    int device_;
    cv::VideoCapture capture_;
};

// The grey picture ZBar scans. Colour frames are converted with code 7 (RGB to grey);
// grey frames are used as they are.
cv::Mat GreyOf(const CameraFrame& frame) {
    const int type = frame.channels == 1 ? CV_8UC1 : frame.channels == 4 ? CV_8UC4 : CV_8UC3;
    const cv::Mat mat(frame.height, frame.width, type, const_cast<uint8_t*>(frame.pixels.data()));
    cv::Mat grey;
    if (frame.channels == 1) {
        grey = mat.clone();
    } else if (frame.channels == 4) {
        cv::cvtColor(mat, grey, cv::COLOR_RGBA2GRAY);
    } else {
        cv::cvtColor(mat, grey, cv::COLOR_RGB2GRAY);
    }
    return grey;
}

bool FrameUsable(const CameraFrame& f) {
    return f.width > 0 && f.height > 0 && (f.channels == 1 || f.channels == 3 || f.channels == 4) &&
           f.pixels.size() >= static_cast<size_t>(f.width) * f.height * f.channels;
}

std::vector<std::string> Scan(zbar::zbar_image_scanner_t* scanner, const CameraFrame& frame) {
    std::vector<std::string> codes;
    if (!FrameUsable(frame)) return codes;
    cv::Mat grey = GreyOf(frame);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, static_cast<unsigned>(grey.cols),
                              static_cast<unsigned>(grey.rows));
    zbar::zbar_image_set_data(image, grey.data, grey.total(), nullptr);
    if (zbar::zbar_scan_image(scanner, image) > 0) {
        for (const zbar::zbar_symbol_t* s = zbar::zbar_image_first_symbol(image); s;
             s = zbar::zbar_symbol_next(s)) {
            codes.emplace_back(zbar::zbar_symbol_get_data(s), zbar::zbar_symbol_get_data_length(s));
        }
    }
    // The pixels belong to `grey`: detach them before the image goes.
    zbar::zbar_image_set_data(image, nullptr, 0, nullptr);
    zbar::zbar_image_destroy(image);
    return codes;
}

}  // namespace

std::unique_ptr<FrameSource> CreateCameraSource(int device) {
    return std::make_unique<VideoCaptureSource>(device);
}

std::vector<std::string> DecodeFrame(const CameraFrame& frame) {
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    std::vector<std::string> codes = Scan(scanner, frame);
    zbar::zbar_image_scanner_destroy(scanner);
    return codes;
}

CameraWorker::CameraWorker(std::unique_ptr<FrameSource> source, CameraSink* sink, Sleep sleep)
    : source_(std::move(source)), sink_(sink), sleep_(std::move(sleep)) {
    if (!sleep_) sleep_ = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    SetSelfDeletion(false);
}

CameraWorker::~CameraWorker() {
    RequestStop();
    Wait();
}

void CameraWorker::Run() {
    if (!source_ || !source_->Open()) {
        if (sink_) sink_->OnCameraFailed(kCameraFailedText);
        source_.reset();
        return;
    }
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    CameraFrame frame;
    while (!stop_) {
        if (!source_->Read(frame) || !FrameUsable(frame)) {
            // A camera that stops delivering is polled at the frame pace until stopped.
            sleep_(kPause);
            continue;
        }
        for (const std::string& code : Scan(scanner, frame)) {
            if (sink_) sink_->OnCameraMessage(kCameraCodeMessage, code, kCameraCodeToCameraPage);
            sleep_(kPause);
        }
        sleep_(kPause);
        if (sink_) sink_->OnPreviewFrame(frame);
    }
    zbar::zbar_image_scanner_destroy(scanner);
    source_.reset();
}

CameraToggle::CameraToggle(CameraSink* sink, SourceFactory factory, CameraWorker::Sleep sleep)
    : sink_(sink), factory_(std::move(factory)), sleep_(std::move(sleep)) {}

CameraToggle::~CameraToggle() {
    for (auto& w : workers_) w->RequestStop();
    workers_.clear();  // each destructor waits for its thread
}

std::string CameraToggle::Press(const std::string& button_text) {
    Reap();
    if (button_text == kCameraStartText) {
        auto worker =
            std::make_unique<CameraWorker>(factory_ ? factory_() : nullptr, sink_, sleep_);
        current_ = worker.get();
        workers_.push_back(std::move(worker));
        current_->Start();
        return kCameraStopText;
    }
    if (current_) current_->RequestStop();
    current_ = nullptr;
    return kCameraStartText;
}

void CameraToggle::Reap() {
    workers_.remove_if([this](const std::unique_ptr<CameraWorker>& w) {
        return w.get() != current_ && w->Finished();
    });
}

}  // namespace tendrix::input
