#pragma once

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

// The developer panel of service environments (the content of
// "PLYWebServiceHosstWindowController" of "Settings"): which environment is current, the
// custom host, and the current address and channel state, refreshed every 10 s while shown.
class PLYWebServiceHostViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 10000;

    explicit PLYWebServiceHostViewController(QWidget* parent = nullptr);

    // Tags of the environment pop-up and the names they stand for.
    static int tagForHostType(const QString& hostType);
    static QString hostTypeForTag(int tag);
    // A port as typed: empty (unset) or a whole number from 1 to 65535.
    static bool isAcceptablePort(const QString& port);

    void saveTypeAction();
    void saveCustomAction();
    void updateCurrentStatus();

    const QTimer& refreshTimer() const { return m_refresh; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showStoredChoice();
    void showPortError(bool error);

    QComboBox* m_hostType = nullptr;
    QComboBox* m_https = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_portError = nullptr;
    QLineEdit* m_currentURL = nullptr;
    QLineEdit* m_status = nullptr;
    QTimer m_refresh;
};
