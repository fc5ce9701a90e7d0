#pragma once
// The pages of the system settings window. CSysSettingsPage binds the controls that the
// page model lists for its page (each named after its key) and moves values between them
// and the settings map; the basic, printer, help and camera pages add their own behaviour.
#include <QImage>
#include <map>
#include <memory>
#include <string>

#include "settings/settings_context.h"
#include "settings/settings_page_model.h"
#include "ui/window.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tendrix::capture {
class SerialPort;
}  // namespace tendrix::capture

namespace tendrix::input {
class CameraToggle;
class FrameSource;
}  // namespace tendrix::input

namespace tendrix::store {
class Settings;
}  // namespace tendrix::store

namespace tendrix::settings {

class CSysSettingsPage : public ui::Page {
    Q_OBJECT
  public:
    CSysSettingsPage(settings::PageId id, QWidget* parent = nullptr);
    ~CSysSettingsPage() override;

    settings::PageId id() const { return id_; }
    virtual void Attach(const SettingsContext& context) { ctx_ = context; }
    // Fills the controls from the settings (and the port and printer lists).
    virtual void LoadValues(const store::Settings& settings);
    // The value text of every key of this page, as the controls hold it.
    virtual void CollectValues(std::map<std::string, std::string>& values) const;
    // The value a control holds for one key ("" when the key is not on this page).
    std::string ValueOf(const std::string& key) const;
    // Puts a value into the control of a key (after a selection window stored it).
    void ShowValue(const std::string& key, const std::string& value);

    void Notify(const ui::Notification& msg) override;

  protected:
    void Message(const QString& text) const;
    SettingsContext ctx_;

  private:
    settings::PageId id_;
};

class CSysBasicSetDlg : public CSysSettingsPage {
    Q_OBJECT
  public:
    explicit CSysBasicSetDlg(QWidget* parent = nullptr);
    ~CSysBasicSetDlg() override;
    void Notify(const ui::Notification& msg) override;

    static constexpr const char* kLogSampleText =
        "获取日志样例后，请将对应的年月日数字改为YYYY、MM、DD！";
    static constexpr const char* kLogOpenedText = "日志监听打开成功！";
    static constexpr const char* kStartListenText = "开始监听";
    static constexpr const char* kStopListenText = "停止监听";

    bool Listening() const { return port_ != nullptr; }
    // Bytes received by the listening test (UI thread).
    void OnListenBytes(const std::string& bytes);

  private:
    void StartListening();
    void StopListening();
    void TestLogFile();
    std::unique_ptr<capture::SerialPort> port_;
    std::unique_ptr<common::CommandSink> listen_sink_;
};

class CSysPrinterSetDlg : public CSysSettingsPage {
    Q_OBJECT
  public:
    explicit CSysPrinterSetDlg(QWidget* parent = nullptr);
    void LoadValues(const store::Settings& settings) override;
    void Notify(const ui::Notification& msg) override;

    // The test receipt (UTF-8) that both the preview and the test print use.
    std::string TestReceipt() const;
    // The printer's bytes for the test receipt with the page's current values, drawn.
    QImage Preview() const;

  private:
    void TestPrint();
    void ShowPreview();
    std::map<std::string, std::string> saved_;  // printer values as loaded
};

class CSysHelpSetDlg : public CSysSettingsPage {
    Q_OBJECT
  public:
    explicit CSysHelpSetDlg(QWidget* parent = nullptr);
    void LoadValues(const store::Settings& settings) override;
};

// The camera page: the toggle "btn_camera_test", the live picture in "label_voide", decoded
// codes in "edit_bar".
class CSysCameraSetDlg : public CSysSettingsPage {
    Q_OBJECT
  public:
    explicit CSysCameraSetDlg(QWidget* parent = nullptr);
    ~CSysCameraSetDlg() override;
    void Notify(const ui::Notification& msg) override;

    using SourceFactory = std::function<std::unique_ptr<input::FrameSource>()>;
    // The frames' source (the first camera by default).
    void SetSourceFactory(SourceFactory factory);
    bool Running() const;
    // Message 1111 with lParam 1: a decoded code (UTF-8).
    void OnCameraCode(const std::string& code);
    void OnFrame(const QImage& frame);
    // Stops the worker (when the window closes); does not wait.
    void Stop();

  private:
    class Sink;
    std::unique_ptr<Sink> sink_;
    SourceFactory factory_;
    std::unique_ptr<input::CameraToggle> toggle_;
};

// Creates the page for a layout class name ("SysBasicSetDlg"); nullptr for other names.
CSysSettingsPage* CreateSettingsPage(const QString& class_name, QWidget* parent);

}  // namespace tendrix::settings
