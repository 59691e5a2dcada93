#include "PLYPreferencesWindowController.h"

#include "PLYPreferencesViewController.h"

#include <QAction>
#include <QActionGroup>
#include <QToolBar>

PLYPreferencesWindowController::PLYPreferencesWindowController(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(tr("Preferences"));
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    const QList<QPair<const char*, QPair<QString, QString>>> items = {
        {PLYPreferencesViewController::GeneralTab, {tr("General"), QStringLiteral("preferences-system")}},
        {PLYPreferencesViewController::AccountTab, {tr("Account"), QStringLiteral("avatar-default")}},
    };
    for (const auto& [identifier, look] : items) {
        QAction* item = m_toolBar->addAction(QIcon::fromTheme(look.second), look.first);
        item->setObjectName(QString::fromLatin1(identifier));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { changeTab(item); });
    }
    m_content = new PLYPreferencesViewController(this);
    setCentralWidget(m_content);
    setFixedSize(520, 360);

    // As the window loads: the General tab.
    if (auto* general = m_toolBar->findChild<QAction*>(QString::fromLatin1(PLYPreferencesViewController::GeneralTab)))
        general->setChecked(true);
    m_content->selectTabIdentifier(QString::fromLatin1(PLYPreferencesViewController::GeneralTab));
}

void PLYPreferencesWindowController::changeTab(QAction* item) {
    if (!item) return;
    item->setChecked(true);
    m_content->selectTabIdentifier(item->objectName());
}
