#include "PLYWebServiceHostViewController.h"

#include "PLYColor.h"
#include "PLYFormWidgets.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceHost.h"

#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace PLYFormWidgets;

namespace {

QString S(const char* text) { return QString::fromLatin1(text); }

QLineEdit* readOnly(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    return edit;
}

}  // namespace

PLYWebServiceHostViewController::PLYWebServiceHostViewController(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Service Host Options"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(heading(tr("Service host"), this));
    layout->addWidget(note(tr("Which Pellory service this copy of Pellory talks to. Each environment keeps its own sign-in."), this));

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    m_hostType = new QComboBox(this);
    m_hostType->setObjectName(QStringLiteral("hostTypePopUpButton"));
    m_hostType->addItem(tr("Development"), 1);
    m_hostType->addItem(tr("Staging"), 2);
    m_hostType->addItem(tr("Production"), 3);
    m_hostType->addItem(tr("Custom"), 4);
    connect(m_hostType, &QComboBox::activated, this, &PLYWebServiceHostViewController::saveTypeAction);
    form->addRow(tr("Environment:"), m_hostType);

    m_https = new QComboBox(this);
    m_https->setObjectName(QStringLiteral("customHTTPPopUpButton"));
    m_https->addItem(QStringLiteral("http"), 0);
    m_https->addItem(QStringLiteral("https"), 1);
    connect(m_https, &QComboBox::activated, this, &PLYWebServiceHostViewController::saveCustomAction);
    form->addRow(tr("Custom scheme:"), m_https);
    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("customHostTextField"));
    m_host->setPlaceholderText(QStringLiteral("localhost"));
    connect(m_host, &QLineEdit::editingFinished, this, &PLYWebServiceHostViewController::saveCustomAction);
    form->addRow(tr("Custom host:"), m_host);
    m_port = new QLineEdit(this);
    m_port->setObjectName(QStringLiteral("customPortTextField"));
    m_port->setPlaceholderText(QStringLiteral("4000"));
    m_port->setMaximumWidth(120);
    connect(m_port, &QLineEdit::editingFinished, this, &PLYWebServiceHostViewController::saveCustomAction);
    form->addRow(tr("Custom port:"), m_port);
    m_portError = errorLine(QStringLiteral("customPortErrorLabel"), this);
    m_portError->setText(tr("Enter a port from 1 to 65535."));
    form->addRow(QString(), m_portError);
    layout->addLayout(form);

    layout->addSpacing(4);
    auto* status = new QFormLayout;
    status->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    status->setHorizontalSpacing(12);
    m_currentURL = readOnly(QStringLiteral("currentURLTextField"), this);
    status->addRow(tr("Current address:"), m_currentURL);
    m_status = readOnly(QStringLiteral("currentWSStatusTextField"), this);
    status->addRow(tr("Channel:"), m_status);
    layout->addLayout(status);
    layout->addStretch();
    setFixedWidth(460);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(RefreshIntervalMs);
    connect(&m_refresh, &QTimer::timeout, this, &PLYWebServiceHostViewController::updateCurrentStatus);
}

int PLYWebServiceHostViewController::tagForHostType(const QString& hostType) {
    if (hostType == QLatin1String(PLYWebServiceHost::HostTypeDev)) return 1;
    if (hostType == QLatin1String(PLYWebServiceHost::HostTypeStaging)) return 2;
    if (hostType == QLatin1String(PLYWebServiceHost::HostTypeProd)) return 3;
    return 4;
}

QString PLYWebServiceHostViewController::hostTypeForTag(int tag) {
    switch (tag) {
    case 1: return S(PLYWebServiceHost::HostTypeDev);
    case 2: return S(PLYWebServiceHost::HostTypeStaging);
    case 3: return S(PLYWebServiceHost::HostTypeProd);
    case 4: return S(PLYWebServiceHost::HostTypeCustom);
    default: return {};
    }
}

bool PLYWebServiceHostViewController::isAcceptablePort(const QString& port) {
    const QString text = port.trimmed();
    if (text.isEmpty()) return true;
    for (const QChar c : text)
        if (!c.isDigit()) return false;
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= 1 && number <= 65535;
}

void PLYWebServiceHostViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showStoredChoice();
    m_refresh.stop();
    updateCurrentStatus();
}

void PLYWebServiceHostViewController::hideEvent(QHideEvent* event) {
    // Nobody reads a hidden panel: the refresh waits until it shows again.
    m_refresh.stop();
    QWidget::hideEvent(event);
}

void PLYWebServiceHostViewController::keyPressEvent(QKeyEvent* event) {
    // Escape closes the panel, as closing its window does; what was entered is kept, as ever.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PLYWebServiceHostViewController::showStoredChoice() {
    m_hostType->setCurrentIndex(m_hostType->findData(tagForHostType(PLYWebServiceHost::currentHost()->hostType())));
    // The stored custom values as they are: unset shows empty, not the fallbacks an address uses.
    PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
    m_https->setCurrentIndex(m_https->findData(PLYWebServiceHost::customHost()->isHTTPS() ? 1 : 0));
    m_host->setText(defaults.stringForKey(S(PLYWebServiceHost::kCustomHostKey)));
    m_port->setText(defaults.stringForKey(S(PLYWebServiceHost::kCustomPortKey)));
    showPortError(false);
}

void PLYWebServiceHostViewController::showPortError(bool error) {
    if (m_portError->isVisibleTo(this) == error) return;
    m_portError->setVisible(error);
    m_port->setStyleSheet(error ? QStringLiteral("QLineEdit { border: 1px solid %1; border-radius: 2px; padding: 1px; }")
                                      .arg(PLYColor::kro_errorRedColour().name())
                                : QString());
    // The window grows to the message rather than squeezing it.
    if (isWindow()) adjustSize();
}

void PLYWebServiceHostViewController::saveTypeAction() {
    const QString type = hostTypeForTag(m_hostType->currentData().toInt());
    if (type.isEmpty()) return;
    PLYWebServiceHost::setCurrentHostType(type);
    m_refresh.stop();
    updateCurrentStatus();
}

void PLYWebServiceHostViewController::saveCustomAction() {
    const QString port = m_port->text().trimmed();
    if (!isAcceptablePort(port)) {
        // Kept as typed so that it can be corrected; nothing is stored until it is a port.
        showPortError(true);
        return;
    }
    showPortError(false);
    PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
    const bool https = m_https->currentData().toInt() == 1;
    const QString host = m_host->text().trimmed();
    const bool changed = PLYWebServiceHost::customHost()->isHTTPS() != https ||
                         defaults.stringForKey(S(PLYWebServiceHost::kCustomHostKey)) != host ||
                         defaults.stringForKey(S(PLYWebServiceHost::kCustomPortKey)) != port;
    PLYWebServiceHost::setCustomHTTPS(https);
    PLYWebServiceHost::setCustomHostName(host);
    PLYWebServiceHost::setCustomPort(port);
    // While the custom environment is current, the session must follow it to its new address
    // now, before anything else is sent: announcing the host at once (in place of the setters'
    // own announcement at the next turn) makes it check the connection and reopen the channel.
    if (changed && PLYWebServiceHost::currentHost()->hostType() == QLatin1String(PLYWebServiceHost::HostTypeCustom)) {
        PLYWebServiceHost::setCurrentHostType(S(PLYWebServiceHost::HostTypeCustom));
        m_refresh.stop();
        updateCurrentStatus();
    }
}

void PLYWebServiceHostViewController::updateCurrentStatus() {
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    m_currentURL->setText(host->serviceURL().toString());
    m_status->setText(host->socketConnected() ? QStringLiteral("Connected") : QStringLiteral("Not Connected"));
    if (isVisible()) m_refresh.start();
}
