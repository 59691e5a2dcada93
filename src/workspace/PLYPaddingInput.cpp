#include "PLYPaddingInput.h"

#include "PLYLayoutManager.h"
#include "PLYStepper.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <limits>

qint64 PLYPaddingInput::minimum() { return PLYLayoutManager::MinimumPadding; }

qint64 PLYPaddingInput::maximum() { return PLYLayoutManager::MaximumPadding; }

qint64 PLYPaddingInput::parseInteger(const QString& text, qint64 min, qint64 max) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it is past any range, so a long run
    // of digits cannot overflow.
    constexpr qint64 cap = std::numeric_limits<qint64>::max() / 10 - 10;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        if (magnitude < cap) magnitude = magnitude * 10 + (c.unicode() - '0');
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return std::clamp(value, std::min(min, max), std::max(min, max));
}

qint64 PLYPaddingInput::parse(const QString& text) { return parseInteger(text, minimum(), maximum()); }

QHBoxLayout* PLYPaddingInput::makeRow(QWidget* parent, const QString& fieldName, QLineEdit** field,
                                      PLYStepper** stepper) {
    auto* text = new QLineEdit(parent);
    text->setObjectName(fieldName);
    text->setAlignment(Qt::AlignRight);
    text->setFixedWidth(56);
    text->setToolTip(QCoreApplication::translate("PLYPaddingInput", "Space between blocks, %1 to %2 points")
                         .arg(minimum())
                         .arg(maximum()));
    auto* steps = new PLYStepper(parent);
    steps->setObjectName(QStringLiteral("paddingStepper"));
    steps->setRange(minimum(), maximum());
    steps->setIncrement(Increment);
    auto* unit = new QLabel(QCoreApplication::translate("PLYPaddingInput", "pt"), parent);
    unit->setForegroundRole(QPalette::PlaceholderText);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(text);
    row->addWidget(steps);
    row->addSpacing(2);
    row->addWidget(unit);
    row->addStretch(1);
    *field = text;
    *stepper = steps;
    return row;
}
