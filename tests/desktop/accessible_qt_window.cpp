// A small Qt window for the accessibility-bus tests: a title with digits, a label with a total
// and an entry with an amount. Once shown it prints each control's centre in screen
// coordinates ("label X Y", "entry X Y") and then "ready", and runs until killed.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromUtf8("收银 V2.3 店号 0017"));
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QString::fromUtf8("合计 36.50"));
    auto* entry = new QLineEdit(QStringLiteral("128.80"));
    layout->addWidget(label);
    layout->addWidget(entry);
    window.setGeometry(argc > 2 ? std::atoi(argv[1]) : 100, argc > 2 ? std::atoi(argv[2]) : 100,
                       320, 160);
    window.show();
    QTimer::singleShot(300, [&] {
        for (auto [name, w] :
             {std::pair<const char*, QWidget*>{"label", label}, {"entry", entry}}) {
            const QPoint c = w->mapToGlobal(w->rect().center());
            std::printf("%s %d %d\n", name, c.x(), c.y());
        }
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
