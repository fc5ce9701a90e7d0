#pragma once
// The shared modal message box. Its layout is built in code and sized to its text:
// width = text width + 50 (below 240 -> 400), height = text height + 100 (below 130 -> 260),
// with the text measured as rich text in "黑体" 16 px. Window class and title are
// "DuiMessageBox"; other windows find open boxes by both and close them with Escape.
#include <QDialog>
#include <QSize>
#include <QString>

class QLabel;
class QPushButton;

namespace tendrix::ui {

class CDuiMessageBox : public QDialog {
    Q_OBJECT
  public:
    // Box types.
    static constexpr int kOk = 0;     // one button: okbtn "确定"
    static constexpr int kYesNo = 1;  // two buttons: yesbtn "是(Y)", nobtn "否(N)"
    // Results.
    static constexpr int kResultOk = 0;
    static constexpr int kResultCancel = 1;
    static constexpr int kResultYes = 2;
    static constexpr int kResultNo = 3;

    CDuiMessageBox(QWidget* owner, const QString& text, const QString& title, int type);
    ~CDuiMessageBox() override;

    // Runs a box modally and returns its result. An empty title means "提示".
    static int Show(QWidget* owner, const QString& text, const QString& title = {}, int type = kOk);

    // True while any message box of this process is open.
    static bool IsOpen();
    // Sends Escape to every open box (window class and title "DuiMessageBox"); returns how
    // many were found.
    static int CloseAllByEscape();

    // The size the sizing rule gives for a text, before it is fitted to the screen.
    static QSize SizeForText(const QString& text);

    int result_value() const { return result_; }

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void reject() override;
    void accept() override;
    void done(int r) override;

  private:
    void Finish(int result);

    QString text_;
    int type_;
    int result_ = kResultOk;
    bool finished_ = false;
};

// Convenience used everywhere: a "提示" box with one button.
inline int ShowMessage(QWidget* owner, const QString& text) {
    return CDuiMessageBox::Show(owner, text);
}

}  // namespace tendrix::ui
