#include "PLYInspectorStyle.h"

#include <QLabel>

QLabel* PLYInspectorStyle::sectionHeading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text.toUpper(), parent);
    QFont font = label->font();
    font.setPixelSize(11);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* PLYInspectorStyle::fieldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QLabel* PLYInspectorStyle::detailLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}
