#include "PLYRichTextDocument.h"

#include "PLYSafeText.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

QFont PLYRichTextDocument::fontForStyle(PLYTextStyle style) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    switch (style) {
    case PLYTextStyle_Title:
        font.setPixelSize(72);
        font.setWeight(QFont::Light);
        break;
    case PLYTextStyle_Heading:
        font.setPixelSize(48);
        break;
    case PLYTextStyle_Subheading:
        font.setPixelSize(34);
        break;
    case PLYTextStyle_Caption:
        font.setPixelSize(18);
        break;
    case PLYTextStyle_Quote:
        font.setPixelSize(32);
        font.setItalic(true);
        break;
    case PLYTextStyle_Body:
    default:
        font.setPixelSize(24);
        break;
    }
    return font;
}

QColor PLYRichTextDocument::colourForText(const PLYBlock_Text& text) {
    if (!text.has_colour())
        return QColor(Qt::black);
    const PLYColour& c = text.colour();
    return QColor::fromRgbF(qBound(0.0f, c.r() / 255.0f, 1.0f), qBound(0.0f, c.g() / 255.0f, 1.0f),
                            qBound(0.0f, c.b() / 255.0f, 1.0f), 1.0f);
}

QColor PLYRichTextDocument::linkColour() { return QColor(0x1a, 0x6e, 0xd8); }

static Qt::Alignment qtAlignment(PLYAlignment alignment) {
    switch (alignment) {
    case PLYAlignment_Centre:
        return Qt::AlignHCenter;
    case PLYAlignment_Right:
        return Qt::AlignRight;
    case PLYAlignment_Justify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

void PLYRichTextDocument::populate(QTextDocument* document, const PLYBlock_Text& text, double textWidth) {
    const QFont font = fontForStyle(text.style());
    document->clear();
    document->setDocumentMargin(0);
    document->setDefaultFont(font);
    document->setTextWidth(textWidth);
    QTextOption option = document->defaultTextOption();
    option.setAlignment(qtAlignment(text.position().alignment()));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);

    QTextCursor cursor(document);
    QTextCharFormat base;
    base.setFont(font);
    base.setForeground(colourForText(text));
    cursor.setCharFormat(base);
    insertText(cursor, text);
}

void PLYRichTextDocument::insertText(QTextCursor& cursor, const PLYBlock_Text& text) {
    QTextDocument* document = cursor.document();
    const int origin = cursor.selectionStart();
    cursor.insertText(QString::fromStdString(text.value()));
    const int end = cursor.position();
    for (const PLYTextRun& run : text.runs()) {
        const int start = qBound(origin, origin + run.location(), end);
        const int stop = qBound(start, origin + run.location() + run.length(), end);
        if (stop <= start)
            continue;
        QTextCharFormat format;
        for (int property : run.properties()) {
            switch (property) {
            case PLYTextProperty_Bold:
                format.setFontWeight(QFont::Bold);
                break;
            case PLYTextProperty_Italic:
                format.setFontItalic(true);
                break;
            case PLYTextProperty_Underline:
                format.setFontUnderline(true);
                break;
            case PLYTextProperty_Link:
                format.setAnchor(true);
                format.setAnchorHref(QString::fromStdString(run.link()));
                format.setForeground(linkColour());
                break;
            default:
                break;
            }
        }
        QTextCursor c(document);
        c.setPosition(start);
        c.setPosition(stop, QTextCursor::KeepAnchor);
        c.mergeCharFormat(format);
    }
}

void PLYRichTextDocument::writeBack(const QTextDocument& document, PLYBlock_Text* text) {
    text->set_value(document.toPlainText().toStdString());
    text->clear_runs();
    const QFont::Weight baseWeight = QFont::Weight(document.defaultFont().weight());
    const bool baseItalic = document.defaultFont().italic();
    PLYTextRun* previous = nullptr;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            PLYTextRun run;
            if (format.fontWeight() >= QFont::Bold && baseWeight < QFont::Bold)
                run.add_properties(PLYTextProperty_Bold);
            if (format.fontItalic() && !baseItalic)
                run.add_properties(PLYTextProperty_Italic);
            if (format.fontUnderline())
                run.add_properties(PLYTextProperty_Underline);
            if (format.isAnchor() && !format.anchorHref().isEmpty()) {
                run.add_properties(PLYTextProperty_Link);
                run.set_link(format.anchorHref().toStdString());
            }
            if (run.properties_size() == 0)
                continue;
            run.set_location(fragment.position());
            run.set_length(fragment.length());
            // Fragments split where only unstored attributes differ: join equal neighbours.
            if (previous && previous->location() + previous->length() == run.location() &&
                std::equal(previous->properties().begin(), previous->properties().end(), run.properties().begin(),
                           run.properties().end()) &&
                previous->link() == run.link()) {
                previous->set_length(previous->length() + run.length());
                continue;
            }
            previous = text->add_runs();
            *previous = run;
        }
    }
}

int PLYRichTextDocument::dropLinksNotAllowed(PLYBlock_Text* text) {
    int dropped = 0;
    auto* runs = text->mutable_runs();
    for (int i = runs->size() - 1; i >= 0; --i) {
        PLYTextRun* run = runs->Mutable(i);
        auto* properties = run->mutable_properties();
        const auto link = std::find(properties->begin(), properties->end(), PLYTextProperty_Link);
        if (link == properties->end() && run->link().empty())
            continue;
        if (link != properties->end() && PLYSafeText::isAllowedLinkAddress(QString::fromStdString(run->link())))
            continue;
        if (link != properties->end()) {
            properties->erase(link);
            ++dropped;
        }
        run->clear_link();
        if (run->properties_size() == 0)
            runs->DeleteSubrange(i, 1);
    }
    return dropped;
}

namespace {
int dropLinksNotAllowedInBlock(PLYBlock* block) {
    if (block->has_text())
        return PLYRichTextDocument::dropLinksNotAllowed(block->mutable_text());
    int dropped = 0;
    if (block->has_container())
        for (PLYBlock& sub : *block->mutable_container()->mutable_sub_blocks())
            dropped += dropLinksNotAllowedInBlock(&sub);
    return dropped;
}
}  // namespace

int PLYRichTextDocument::dropLinksNotAllowed(PLYLayout* layout) {
    int dropped = 0;
    for (PLYSection& section : *layout->mutable_sections())
        for (PLYBlock& block : *section.mutable_blocks())
            dropped += dropLinksNotAllowedInBlock(&block);
    return dropped;
}

double PLYRichTextDocument::widthFraction(const PLYBlock_Text& text) {
    const double w = text.position().width();
    return (w > 0.0 && w <= 1.0) ? w : 1.0;
}

QRectF PLYRichTextDocument::textRectInBlock(const PLYBlock_Text& text, const QRectF& blockRect) {
    const double width = blockRect.width() * widthFraction(text);
    double x = blockRect.x();
    switch (text.position().alignment()) {
    case PLYAlignment_Centre:
    case PLYAlignment_Justify:
        x += (blockRect.width() - width) / 2.0;
        break;
    case PLYAlignment_Right:
        x += blockRect.width() - width;
        break;
    default:
        break;
    }
    return QRectF(x, blockRect.y(), width, blockRect.height());
}

double PLYRichTextDocument::heightForWidth(const PLYBlock_Text& text, double blockWidth) {
    const QFontMetricsF metrics(fontForStyle(text.style()));
    if (text.value().empty() || blockWidth <= 0.0)
        return metrics.height();
    QTextDocument document;
    populate(&document, text, blockWidth * widthFraction(text));
    return qMax(metrics.height(), document.size().height());
}

void PLYRichTextDocument::draw(QPainter* painter, const PLYBlock_Text& text, const QRectF& blockRect) {
    if (text.value().empty())
        return;
    const QRectF rect = textRectInBlock(text, blockRect);
    QTextDocument document;
    populate(&document, text, rect.width());
    painter->save();
    painter->translate(rect.topLeft());
    painter->setClipRect(QRectF(0, 0, rect.width(), rect.height()), Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, colourForText(text));
    document.documentLayout()->draw(painter, context);
    painter->restore();
}
