#pragma once

#include <QString>
#include <QUrl>

class QLabel;

// Text that came from the user, a file or the service is shown as typed: never read as markup
// (Qt guesses rich text from the string otherwise, so "<img src=file:...>" would load a file),
// never turned into a keyboard accelerator. And only web addresses are opened or kept as links.
namespace PLYSafeText {

// Makes `label` show its text as plain characters from now on.
void makePlain(QLabel* label);
// The label shows `text` as plain characters.
void setLabelText(QLabel* label, const QString& text);
// A tooltip string that shows `text` as typed (tooltips have no text format of their own).
QString toolTip(const QString& text);
// Text for a menu item, button or action: each "&" doubled, so it shows and is no accelerator.
QString escapedMnemonic(const QString& text);

// A window title that shows `text` as typed ("[*]" is otherwise the modified-mark placeholder).
QString escapedWindowTitle(const QString& text);

// An http or https address with a host: the only kind the application opens in a browser.
bool isWebURL(const QUrl& url);
// A link a text block may carry: a web address or a mailto address.
bool isAllowedLinkURL(const QUrl& url);
bool isAllowedLinkAddress(const QString& address);

}  // namespace PLYSafeText
