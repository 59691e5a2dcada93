#include "PLYSafeText.h"

#include <QLabel>
#include <QTextDocument>

namespace PLYSafeText {

void makePlain(QLabel* label) {
    if (label) label->setTextFormat(Qt::PlainText);
}

void setLabelText(QLabel* label, const QString& text) {
    if (!label) return;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

QString toolTip(const QString& text) {
    // Text that Qt would not take for markup is shown as it is; anything else is escaped
    // into markup that shows the same characters, on one line as a plain tooltip would be.
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

QString escapedMnemonic(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString escapedWindowTitle(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}

bool isWebURL(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

bool isAllowedLinkURL(const QUrl& url) {
    if (isWebURL(url)) return true;
    return url.isValid() && url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0 &&
           url.path().contains(QLatin1Char('@'));
}

bool isAllowedLinkAddress(const QString& address) { return isAllowedLinkURL(QUrl(address, QUrl::StrictMode)); }

}  // namespace PLYSafeText
