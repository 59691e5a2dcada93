#include "PLYSectionLayoutHandler_Stacked.h"

#include "PLYRichTextDocument.h"

#include <cmath>
#include <optional>
#include <unordered_map>

namespace {

constexpr double kMinimumRatio = 0.01;
// A stored ratio beyond this (a damaged file; edits are bounded lower) would give a block no height.
constexpr double kMaximumRatio = 100.0;
constexpr double kMinimumRowHeight = 1.0;
// Text beside other blocks is laid out again until the widths it is given settle.
constexpr int kMaximumTextRounds = 12;
constexpr double kSettledWidth = 0.5;
constexpr int kBisectionRounds = 10;

using TextWidths = std::unordered_map<const PLYBlock*, double>;

bool isContainer(const PLYBlock& block) {
    return block.type_case() == PLYBlock::kContainer && block.container().sub_blocks_size() > 0;
}

// The width of a subtree laid out at a common height h is a*h + b: leaves are proportional,
// rows add up, and stacks invert the sum of their children's heights.
struct Affine {
    double a = 1.0;
    double b = 0.0;
    double widthAt(double h) const { return a * h + b; }
    double heightAt(double w) const { return (w - b) / a; }
};

struct Pass {
    double padding;
    const PLYLayoutGeometry::ImageSizeFunction& imageSize;
    PLYLayoutGeometry& out;
    QString sectionId;
    int sectionIndex;
    // The width each text leaf inside a row got in the previous round; its ratio is taken at
    // that width (a first round guesses an equal share of the row).
    const TextWidths* givenTextWidths = nullptr;
    // The widths text leaves inside rows get in this round, and by how much the most crowded
    // one overflows the row's height.
    TextWidths placedTextWidths;
    double textOverflow = 0.0;
    // The width each text leaf's ratio was taken at, and how far each overflows its height.
    TextWidths ratioTextWidths;
    TextWidths textOverflows;
    std::unordered_map<const PLYBlock*, Affine> affines;

    void record(const PLYBlock& block, const QRectF& frame, const QString& parentId) {
        PLYLayoutGeometry::BlockFrame f;
        f.frame = frame;
        f.parentId = parentId;
        f.sectionId = sectionId;
        f.sectionIndex = sectionIndex;
        out.blocks.insert(QString::fromStdString(block.id()), f);
    }

    Affine affine(const PLYBlock& block, double hint) {
        if (const auto it = affines.find(&block); it != affines.end())
            return it->second;
        Affine result;
        if (!isContainer(block)) {
            if (block.type_case() == PLYBlock::kText) {
                if (givenTextWidths)
                    if (const auto given = givenTextWidths->find(&block); given != givenTextWidths->end())
                        hint = given->second;
                ratioTextWidths[&block] = hint;
            }
            result.a = qMax(kMinimumRatio, PLYSectionLayoutHandler_Stacked::leafRatio(block, hint, imageSize));
            result.b = 0.0;
        } else {
            const auto& children = block.container().sub_blocks();
            const int n = children.size();
            const double gaps = padding * (n - 1);
            if (!block.container().vert()) {
                const double childHint = qMax(1.0, (hint - gaps) / n);
                result.a = 0.0;
                result.b = gaps;
                for (const PLYBlock& child : children) {
                    const Affine c = affine(child, childHint);
                    result.a += c.a;
                    result.b += c.b;
                }
            } else {
                double inverseSum = 0.0;
                double offsetSum = 0.0;
                for (const PLYBlock& child : children) {
                    const Affine c = affine(child, hint);
                    inverseSum += 1.0 / c.a;
                    offsetSum += c.b / c.a;
                }
                result.a = 1.0 / inverseSum;
                result.b = (offsetSum - gaps) / inverseSum;
            }
            result.a = qMax(kMinimumRatio, result.a);
        }
        affines.emplace(&block, result);
        return result;
    }

    // Places a subtree whose width is fixed; answers its height.
    double placeAtWidth(const PLYBlock& block, double x, double y, double w, const QString& parentId) {
        double h = 0.0;
        if (!isContainer(block)) {
            if (block.aspect_ratio() <= 0.0f && block.type_case() == PLYBlock::kText)
                h = PLYRichTextDocument::heightForWidth(block.text(), w);
            else if (block.aspect_ratio() <= 0.0f && block.type_case() == PLYBlock::kDownloadButton)
                h = PLYLayoutGeometry::kDownloadButtonHeight;
            else
                h = w / qMax(kMinimumRatio, PLYSectionLayoutHandler_Stacked::leafRatio(block, w, imageSize));
            record(block, QRectF(x, y, w, h), parentId);
            return h;
        }
        const QString id = QString::fromStdString(block.id());
        const auto& children = block.container().sub_blocks();
        if (block.container().vert()) {
            double cy = y;
            for (int i = 0; i < children.size(); ++i) {
                if (i > 0)
                    cy += padding;
                cy += placeAtWidth(children[i], x, cy, w, id);
            }
            h = cy - y;
        } else {
            const Affine row = affine(block, w);
            h = qMax(kMinimumRowHeight, row.heightAt(w));
            placeRowChildren(block, x, y, h, id);
        }
        record(block, QRectF(x, y, w, h), parentId);
        return h;
    }

    void placeRowChildren(const PLYBlock& block, double x, double y, double h, const QString& id) {
        double cx = x;
        const auto& children = block.container().sub_blocks();
        for (int i = 0; i < children.size(); ++i) {
            if (i > 0)
                cx += padding;
            cx += placeAtHeight(children[i], cx, y, h, id);
        }
    }

    // Places a subtree whose height is fixed (inside a row); answers its width.
    double placeAtHeight(const PLYBlock& block, double x, double y, double h, const QString& parentId) {
        const Affine self = affine(block, h);
        const double w = qMax(0.0, self.widthAt(h));
        if (block.type_case() == PLYBlock::kText && block.aspect_ratio() <= 0.0f) {
            placedTextWidths[&block] = w;
            const double overflow = PLYRichTextDocument::heightForWidth(block.text(), w) - h;
            textOverflows[&block] = overflow;
            textOverflow = qMax(textOverflow, overflow);
        }
        if (isContainer(block)) {
            const QString id = QString::fromStdString(block.id());
            if (!block.container().vert()) {
                placeRowChildren(block, x, y, h, id);
            } else {
                double cy = y;
                const auto& children = block.container().sub_blocks();
                for (int i = 0; i < children.size(); ++i) {
                    if (i > 0)
                        cy += padding;
                    const double ch = qMax(0.0, affine(children[i], w).heightAt(w));
                    placeAtHeight(children[i], x, cy, ch, id);
                    cy += ch;
                }
            }
        }
        record(block, QRectF(x, y, w, h), parentId);
        return w;
    }
};

// What one round of a section's placement tells about its texts inside rows.
struct Round {
    TextWidths placedTextWidths;
    TextWidths ratioTextWidths;
    TextWidths textOverflows;
    double textOverflow = 0.0;
};

}  // namespace

double PLYSectionLayoutHandler_Stacked::leafRatio(const PLYBlock& block, double widthHint,
                                                  const PLYLayoutGeometry::ImageSizeFunction& imageSize) {
    if (block.aspect_ratio() > 0.0f)
        return std::isfinite(block.aspect_ratio()) ? qMin(double(block.aspect_ratio()), kMaximumRatio)
                                                   : kMaximumRatio;
    switch (block.type_case()) {
    case PLYBlock::kImage: {
        const QSize size = imageSize ? imageSize(QString::fromStdString(block.image().img_ref())) : QSize();
        if (size.isValid() && size.width() > 0 && size.height() > 0)
            return double(size.width()) / double(size.height());
        return PLYLayoutGeometry::kDefaultRatio;
    }
    case PLYBlock::kText: {
        const double w = qMax(1.0, widthHint);
        return w / PLYRichTextDocument::heightForWidth(block.text(), w);
    }
    case PLYBlock::kDownloadButton:
        return qMax(1.0, widthHint) / PLYLayoutGeometry::kDownloadButtonHeight;
    default:
        return PLYLayoutGeometry::kDefaultRatio;
    }
}

double PLYSectionLayoutHandler_Stacked::layoutSection(const PLYSection& section, int sectionIndex, double top,
                                                      double width, double padding,
                                                      const PLYLayoutGeometry::ImageSizeFunction& imageSize,
                                                      PLYLayoutGeometry& out) {
    const QString sectionId = QString::fromStdString(section.id());
    // One round places every block. A text leaf inside a row has no fixed ratio: its height
    // depends on the width the row gives it, which depends on its ratio. The first round gives
    // each text an equal share of its row; when a text does not fit that, rounds follow the
    // widths the texts get until one where every text fits, and then bisect between the two
    // for the fitting width nearest the first share, so the pictures beside a text keep as
    // much of the row as the text leaves them. Where nothing fits, the first round stays.
    const auto placeAll = [&](const TextWidths* widths, double* height) {
        Pass pass{padding, imageSize, out, sectionId, sectionIndex, widths, {}, 0.0, {}, {}, {}};
        double y = top;
        for (int i = 0; i < section.blocks_size(); ++i) {
            if (i > 0)
                y += padding;
            y += pass.placeAtWidth(section.blocks(i), 0.0, y, width, QString());
        }
        *height = section.blocks_size() == 0 ? PLYLayoutGeometry::kEmptySectionHeight : y - top;
        return Round{std::move(pass.placedTextWidths), std::move(pass.ratioTextWidths), std::move(pass.textOverflows),
                     pass.textOverflow};
    };
    const auto fitsAll = [](const Round& round) { return round.textOverflow <= kSettledWidth; };
    double height = 0.0;
    Round pass = placeAll(nullptr, &height);
    const TextWidths firstShare = pass.ratioTextWidths;
    if (fitsAll(pass))
        return finishSection(section, sectionId, top, width, height, out);

    std::optional<TextWidths> fitting;
    TextWidths given = pass.placedTextWidths;
    for (int round = 0; round < kMaximumTextRounds && !fitting; ++round) {
        pass = placeAll(&given, &height);
        if (fitsAll(pass)) {
            fitting = given;
            break;
        }
        bool settled = true;
        for (const auto& [block, w] : pass.placedTextWidths)
            if (std::abs(given[block] - w) > kSettledWidth)
                settled = false;
        if (settled)
            break;
        given = pass.placedTextWidths;
    }
    if (!fitting) {
        placeAll(nullptr, &height);
        return finishSection(section, sectionId, top, width, height, out);
    }
    TextWidths tooTight = firstShare;
    TextWidths fits = *fitting;
    for (int round = 0; round < kBisectionRounds; ++round) {
        TextWidths middle;
        for (const auto& [block, w] : fits)
            middle[block] = (w + tooTight[block]) / 2.0;
        pass = placeAll(&middle, &height);
        for (const auto& [block, w] : middle)
            (pass.textOverflows[block] <= kSettledWidth ? fits : tooTight)[block] = w;
    }
    if (!fitsAll(placeAll(&fits, &height)))
        placeAll(&*fitting, &height);
    return finishSection(section, sectionId, top, width, height, out);
}

double PLYSectionLayoutHandler_Stacked::finishSection(const PLYSection& section, const QString& sectionId, double top,
                                                      double width, double height, PLYLayoutGeometry& out) {
    PLYLayoutGeometry::SectionFrame frame;
    frame.sectionId = sectionId;
    for (const PLYBlock& block : section.blocks())
        frame.blockIds << QString::fromStdString(block.id());
    frame.frame = QRectF(0.0, top, width, height);
    out.sections.push_back(frame);
    return height;
}
