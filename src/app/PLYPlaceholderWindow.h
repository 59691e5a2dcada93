#pragma once

#include <QWidget>

// A window that stands in for a scene whose content is not part of this build yet; it says
// what will be shown there.
class PLYPlaceholderWindow : public QWidget {
    Q_OBJECT
public:
    PLYPlaceholderWindow(const QString& title, const QString& message, QWidget* parent = nullptr);
};
