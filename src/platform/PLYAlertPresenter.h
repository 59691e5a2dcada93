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
};

// Shows alerts. The answer is 1000 plus the index of the button chosen.
class PLYAlertPresenter {
public:
    static constexpr qint64 FirstButtonReturn = 1000;
    static constexpr qint64 SecondButtonReturn = 1001;
    static constexpr qint64 ThirdButtonReturn = 1002;

    virtual ~PLYAlertPresenter() = default;
    virtual qint64 runModal(const PLYAlertRequest& alert, QWidget* parent = nullptr) = 0;

    static std::shared_ptr<PLYAlertPresenter> shared();
    static void setShared(std::shared_ptr<PLYAlertPresenter> presenter);
};
