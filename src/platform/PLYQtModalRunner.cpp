#include "PLYQtModalRunner.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {
// Ends the run when the user closes the window.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop* loop) : m_loop(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) m_loop->exit(int(PLYModalRunner::Stop));
        return false;
    }

private:
    QEventLoop* m_loop;
};
}  // namespace

void PLYQtModalRunner::centreOverWindow(QWidget* window, QWidget* front) {
    if (window->parentWidget()) return;
    QScreen* screen = front ? front->screen() : window->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect over = front ? front->frameGeometry() : available;
    if (over.isEmpty()) return;
    QRect frame(QPoint(0, 0), window->frameGeometry().size());
    frame.moveCenter(over.center());
    if (!available.isEmpty()) {
        frame.moveLeft(std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() - frame.width() + 1)));
        frame.moveTop(std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() - frame.height() + 1)));
    }
    window->move(frame.topLeft());
}

qint64 PLYQtModalRunner::runModalForWindow(QWidget* window) {
    if (!window) return Abort;
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    QPointer<QWidget> guard(window);
    QWidget* front = QApplication::activeWindow();
    window->setWindowModality(Qt::ApplicationModal);
    window->installEventFilter(&watcher);
    // A window deleted without being closed first would otherwise leave the run going forever.
    QObject::connect(window, &QObject::destroyed, &loop, [&loop] { loop.exit(int(Stop)); });
    window->show();
    // Over the window the user was working in.
    centreOverWindow(window, front != window ? front : nullptr);
    window->raise();
    m_loops.append(&loop);
    const int code = loop.exec();
    m_loops.removeAll(&loop);
    if (guard) {
        guard->removeEventFilter(&watcher);
        guard->hide();
    }
    return code;
}

void PLYQtModalRunner::stopModalWithCode(qint64 code) {
    if (!m_loops.isEmpty()) m_loops.last()->exit(int(code));
}
