#include "PLYBaseWindowController.h"

#include "PLYAccountStatusView.h"
#include "PLYAuthViewController.h"
#include "PLYColor.h"
#include "PLYInterfaceNames.h"
#include "PLYLog.h"
#include "PLYSessionObserver.h"
#include "PLYStoryboard.h"
#include "PLYWebServiceManager.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>

PLYBaseWindowController::PLYBaseWindowController(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Pellory"));
    m_stack = new QStackedWidget(this);
    m_stack->setAutoFillBackground(true);
    QPalette palette = m_stack->palette();
    palette.setColor(QPalette::Window, PLYColor::kro_homeBackground());
    m_stack->setPalette(palette);
    m_status = new PLYAccountStatusView(m_stack);
    m_stack->addWidget(m_status);
    setCentralWidget(m_stack);

    // Four fifths of the screen, centred.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size() * 0.8;
        const QSize screenSize = screen->size();
        setGeometry(QRect(QPoint((screenSize.width() - size.width()) / 2, (screenSize.height() - size.height()) / 2), size));
    }

    m_observer = std::make_unique<PLYSessionObserver>(this, PLYSessionObserver::Delivery::Queued,
                                                      [this](const PLYSessionChange& change) { sessionChanged(change.state); });
    const PLYWebServiceManager* manager = m_observer->manager();
    sessionChanged(manager ? manager->currentStateName() : QString());
}

PLYBaseWindowController::~PLYBaseWindowController() = default;

void PLYBaseWindowController::sessionChanged(const QString& state) {
    m_status->refresh(state);
    if (PLYAccountStatusView::needsLogin(state)) presentLogin();
}

void PLYBaseWindowController::presentLogin() {
    if (m_auth) return;
    const QString storyboard = QString::fromLatin1(PLYInterfaceNames::MainStoryboard);
    const QString identifier = QString::fromLatin1(PLYInterfaceNames::AuthViewScene);
    if (!PLYStoryboard::hasScene(storyboard, identifier)) return;
    QObject* scene = PLYStoryboard::instantiate(storyboard, identifier, m_stack);
    m_auth = qobject_cast<PLYAuthViewController*>(scene);
    if (!m_auth) {
        delete scene;
        return;
    }
    QPointer<PLYBaseWindowController> self(this);
    m_auth->setAuthCompletionBlock([self](bool through) {
        if (self && through) self->loginCompleted();
    });
    m_stack->addWidget(m_auth);
    m_stack->setCurrentWidget(m_auth);
    PLY_LOG_INFO(QStringLiteral("Nobody is signed in: showing the sign-in forms"));
}

void PLYBaseWindowController::loginCompleted() {
    if (!m_auth) return;
    m_stack->setCurrentWidget(m_status);
    m_stack->removeWidget(m_auth);
    m_auth->deleteLater();
    m_auth.clear();
    const PLYWebServiceManager* manager = m_observer->manager();
    m_status->refresh(manager ? manager->currentStateName() : QString());
}
