#include "PLYQtModalRunner.h"

#include <QEvent>
#include <QEventLoop>
#include <QWidget>

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

qint64 PLYQtModalRunner::runModalForWindow(QWidget* window) {
    if (!window) return Abort;
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    QPointer<QWidget> guard(window);
    window->setWindowModality(Qt::ApplicationModal);
    window->installEventFilter(&watcher);
    // A window deleted without being closed first would otherwise leave the run going forever.
    QObject::connect(window, &QObject::destroyed, &loop, [&loop] { loop.exit(int(Stop)); });
    window->show();
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
