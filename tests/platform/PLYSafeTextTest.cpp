// The rules for showing text as typed and for the addresses the application keeps or opens.
#include "PLYQtDesktopServices.h"
#include "PLYSafeText.h"

#include <QLabel>
#include <QTextDocument>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

const QStringList kHostile{QStringLiteral("<b>x</b>"), QStringLiteral("<a href=\"https://example.invalid\">y</a>"),
                           QStringLiteral("<img src=\"file:///etc/hostname\">"), QStringLiteral("&amp;"),
                           QStringLiteral("Salt & Pepper"), QStringLiteral("plain words"), QString()};

TEST(SafeText, ALabelShowsItsTextAsTypedAndATooltipReadsTheSame) {
    for (const QString& text : kHostile) {
        QLabel label;
        PLYSafeText::setLabelText(&label, text);
        EXPECT_EQ(label.textFormat(), Qt::PlainText);
        EXPECT_EQ(label.text(), text);

        // A tooltip has no format of its own: Qt reads it as markup when it looks like markup.
        const QString tip = PLYSafeText::toolTip(text);
        QString shown = tip;
        if (Qt::mightBeRichText(tip)) {
            QTextDocument document;
            document.setHtml(tip);
            shown = document.toPlainText();
        }
        EXPECT_EQ(shown, text) << text.toStdString();
    }
    EXPECT_EQ(PLYSafeText::toolTip(QStringLiteral("plain words")), QStringLiteral("plain words"))
        << "text Qt would not take for markup is left alone";
}

TEST(SafeText, MenuTitlesAndWindowTitlesKeepTheirSpecialCharacters) {
    EXPECT_EQ(PLYSafeText::escapedMnemonic(QStringLiteral("Salt & Pepper")), QStringLiteral("Salt && Pepper"));
    EXPECT_EQ(PLYSafeText::escapedMnemonic(QStringLiteral("&&&")), QStringLiteral("&&&&&&"));
    EXPECT_EQ(PLYSafeText::escapedMnemonic(QStringLiteral("none")), QStringLiteral("none"));

    QWidget window;
    window.setWindowTitle(PLYSafeText::escapedWindowTitle(QStringLiteral("Draft [*] one")));
    window.show();
    window.setWindowModified(true);
    ASSERT_TRUE(window.windowHandle());
    EXPECT_EQ(window.windowHandle()->title(), QStringLiteral("Draft [*] one"));
}

TEST(SafeText, OnlyWebAddressesAreOpenedAndOnlyWebOrMailAddressesAreLinks) {
    struct Row {
        const char* address;
        bool web;
        bool link;
    };
    const Row rows[] = {
        {"https://example.invalid/story", true, true},
        {"HTTP://example.invalid", true, true},
        {"mailto:someone@example.invalid", false, true},
        {"mailto:nobody", false, false},
        {"javascript:alert(1)", false, false},
        {"data:text/html,<b>x</b>", false, false},
        {"file:///etc/hostname", false, false},
        {"ftp://example.invalid/", false, false},
        {"http:///no-host", false, false},
        {"", false, false},
    };
    for (const Row& row : rows) {
        const QUrl url(QString::fromLatin1(row.address), QUrl::StrictMode);
        EXPECT_EQ(PLYSafeText::isWebURL(url), row.web) << row.address;
        EXPECT_EQ(PLYSafeText::isAllowedLinkURL(url), row.link) << row.address;
        EXPECT_EQ(PLYSafeText::isAllowedLinkAddress(QString::fromLatin1(row.address)), row.link) << row.address;
    }
}

TEST(SafeText, TheDesktopOpenerRefusesAddressesThatAreNeitherWebPagesNorFiles) {
    PLYQtDesktopServices desktop;
    for (const char* address : {"javascript:alert(1)", "data:text/html,x", "mailto:someone@example.invalid",
                                "smb://example.invalid/share", "vbscript:x"})
        EXPECT_FALSE(desktop.openURL(QUrl(QString::fromLatin1(address)))) << address;
}

}  // namespace
