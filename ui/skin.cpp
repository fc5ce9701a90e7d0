#include "ui/skin.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QUiLoader>

#include "common/diag_log.h"
#include "ui/page_factory.h"

namespace tendrix::ui {
namespace {

QMutex g_skin_mutex;
std::string g_skin_dir;

class SkinLoader : public QUiLoader {
  public:
    explicit SkinLoader(const BuilderCallback& builder) : builder_(builder) {}

    QWidget* createWidget(const QString& class_name, QWidget* parent,
                          const QString& name) override {
        QWidget* w = nullptr;
        if (builder_) w = builder_(class_name, parent);
        if (!w) w = PageFactory::Create(class_name, parent);
        if (w) {
            if (!name.isEmpty()) w->setObjectName(name);
            return w;
        }
        return QUiLoader::createWidget(class_name, parent, name);
    }

  private:
    const BuilderCallback& builder_;
};

}  // namespace

void SetSkinDir(const std::string& dir) {
    QMutexLocker lock(&g_skin_mutex);
    g_skin_dir = dir;
    if (!g_skin_dir.empty() && g_skin_dir.back() != '/') g_skin_dir += '/';
}

std::string SkinDir() {
    QMutexLocker lock(&g_skin_mutex);
    return g_skin_dir;
}

QString SkinPath(const QString& relative) {
    return QString::fromStdString(SkinDir()) + relative;
}

QWidget* LoadLayout(const QString& file, QWidget* parent, const BuilderCallback& builder) {
    QFile f(SkinPath(file));
    if (!f.open(QIODevice::ReadOnly)) {
        common::diag::Write("ui", "layout missing: " + f.fileName().toStdString());
        return nullptr;
    }
    SkinLoader loader(builder);
    loader.setWorkingDirectory(QDir(QString::fromStdString(SkinDir())));
    QWidget* root = loader.load(&f, parent);
    if (!root) {
        common::diag::Write("ui", "layout unreadable: " + f.fileName().toStdString() + ": " +
                                      loader.errorString().toStdString());
    }
    return root;
}

QString ColourName(uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

QString ThemeStyleSheet(uint32_t main_colour, uint32_t hot_colour, uint32_t background_colour) {
    QFile f(SkinPath(QStringLiteral("style.qss")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QString qss = QString::fromUtf8(f.readAll());
    qss.replace(QStringLiteral("@main@"), ColourName(main_colour));
    qss.replace(QStringLiteral("@hot@"), ColourName(hot_colour));
    qss.replace(QStringLiteral("@background@"), ColourName(background_colour));
    qss.replace(QStringLiteral("@skin@"), QString::fromStdString(SkinDir()));
    return qss;
}

}  // namespace tendrix::ui
