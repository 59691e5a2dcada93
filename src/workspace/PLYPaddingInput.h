#pragma once

#include <QString>

class PLYStepper;
class QHBoxLayout;
class QLineEdit;
class QWidget;

// The padding a user types or steps, as the document inspector and the new-post sheet take it:
// one parser and one range for both, the range being the one the layout manager accepts.
class PLYPaddingInput {
public:
    static qint64 minimum();
    static qint64 maximum();
    static constexpr qint64 Increment = 1;

    // Leading blanks, an optional sign and the digits that follow, as a typed integer reads
    // ("24pt" is 24, "-3" is -3); 0 when no digit follows. The result is clamped to
    // [min, max], so neither a long run of digits nor a stray sign can leave the range.
    static qint64 parseInteger(const QString& text, qint64 min, qint64 max);
    // parseInteger() over the padding range.
    static qint64 parse(const QString& text);
    // The value as the field shows it.
    static QString format(qint64 padding) { return QString::number(padding); }

    // The padding row of both forms: a right-aligned number field named `fieldName`, a stepper
    // named "paddingStepper" over the padding range, and the unit. The caller places the row.
    static QHBoxLayout* makeRow(QWidget* parent, const QString& fieldName, QLineEdit** field, PLYStepper** stepper);
};
