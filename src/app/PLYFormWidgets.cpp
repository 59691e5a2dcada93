#include "PLYFormWidgets.h"

#include "PLYColor.h"
#include "PLYErrorBox.h"
#include "PLYSafeText.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace PLYFormWidgets {

namespace {
// The forms show names, addresses and the service's messages: as typed, never as markup.
QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    PLYSafeText::setLabelText(label, text);
    return label;
}
}  // namespace

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.45);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x5F, 0x63, 0x68));
    label->setPalette(p);
    return label;
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x5F, 0x63, 0x68));
    label->setPalette(p);
    return label;
}

QLabel* errorLine(const QString& objectName, QWidget* parent) {
    auto* label = plainLabel(QString(), parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, PLYColor::kro_errorRedColour());
    label->setPalette(p);
    label->hide();
    return label;
}

QLineEdit* field(const QString& objectName, const QString& placeholder, QWidget* parent, bool secure) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setPlaceholderText(placeholder);
    // The box draws the border; the field sits flat inside it.
    edit->setFrame(false);
    edit->setMinimumHeight(24);
    if (secure) edit->setEchoMode(QLineEdit::Password);
    return edit;
}

PLYErrorBox* fieldBox(QLineEdit* field, const QString& boxName, const QString& labelName, QWidget* parent) {
    auto* box = new PLYErrorBox(parent);
    box->setObjectName(boxName);
    if (!labelName.isEmpty()) box->errorLabel()->setObjectName(labelName);
    field->setParent(box);
    box->contentLayout()->addWidget(field);
    box->setAutoFillBackground(true);
    QPalette p = box->palette();
    p.setColor(QPalette::Window, Qt::white);
    box->setPalette(p);
    return box;
}

QPushButton* linkButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::TabFocus);
    b->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: %1; text-align: left; }"
                                    "QPushButton:hover { text-decoration: underline; }")
                         .arg(PLYColor::kro_blueColour().name()));
    return b;
}

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent, bool isDefault) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(isDefault);
    b->setDefault(isDefault);
    // Room around the title, and never narrower than its neighbours of short titles.
    b->setMinimumWidth(qMax(96, b->sizeHint().width() + 20));
    return b;
}

QWidget* card(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("card"));
    frame->setStyleSheet(QStringLiteral("QFrame#card { background: white; border: 1px solid #D9D9D9; border-radius: 8px; }"));
    return frame;
}

}  // namespace PLYFormWidgets
