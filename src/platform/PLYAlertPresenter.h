#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

// An alert: style, message, informative text and buttons (the first is the default).
struct PLYAlertRequest {
    enum class Style { Warning, Informational, Critical };
    Style style = Style::Warning;
    QString messageText;
    QString informativeText;
    QStringList buttonTitles;
    // A "Do not show this message again" check box under the text.
    bool showsSuppressionButton = false;
};

// Shows alerts. The answer is 1000 plus the index of the button chosen.
class PLYAlertPresenter {
public:
    static constexpr qint64 FirstButtonReturn = 1000;
    static constexpr qint64 SecondButtonReturn = 1001;
    static constexpr qint64 ThirdButtonReturn = 1002;

    virtual ~PLYAlertPresenter() = default;
    virtual qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) = 0;
    // As runModal; `*suppressed` tells whether the suppression check box was ticked, whichever
    // button ended the alert (false when the alert has none).
    virtual qint64 runModalWithSuppression(const PLYAlertRequest& alert, bool* suppressed, QWidget* parent = nullptr) {
        if (suppressed) *suppressed = false;
        return runModal(alert, parent);
    }

    static std::shared_ptr<PLYAlertPresenter> shared();
    static void setShared(std::shared_ptr<PLYAlertPresenter> presenter);
};
