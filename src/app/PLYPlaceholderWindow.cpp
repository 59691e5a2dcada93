#include "PLYPlaceholderWindow.h"

#include <QLabel>
#include <QVBoxLayout>

PLYPlaceholderWindow::PLYPlaceholderWindow(const QString& title, const QString& message, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(message, this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
    resize(480, 320);
}
