#include "app/ProgramIcon.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace corvane::app {

namespace {

// The format is named: left to guess, Qt loads and asks every image plugin
// (gif, ico, jpeg...) before it reads one PNG.
QPixmap iconAt(int size) {
    QImageReader reader(QStringLiteral(":/corvane-test/icon-%1.png").arg(size), "png");
    return QPixmap::fromImage(reader.read());
}

// Waits for the window's first paint, then lets the frame reach the screen
// before decoding the larger size.
class LargerSizeAfterFirstFrame final : public QObject {
public:
    explicit LargerSizeAfterFirstFrame(QObject* parent) : QObject(parent) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                QIcon icon = QApplication::windowIcon();
                icon.addPixmap(iconAt(128));
                QApplication::setWindowIcon(icon);
                deleteLater();
            });
        }
        return false;
    }
};

} // namespace

void setProgramIcon(QWidget& window) {
    QIcon icon;
    icon.addPixmap(iconAt(48));
    QApplication::setWindowIcon(icon);
    window.installEventFilter(new LargerSizeAfterFirstFrame(&window));
}

} // namespace corvane::app
