#include "PLYSectionLayoutHandler_Stacked.h"

#include "PLYRichTextDocument.h"

#include <unordered_map>

namespace {

constexpr double kMinimumRatio = 0.01;
constexpr double kMinimumRowHeight = 1.0;

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

}  // namespace

double PLYSectionLayoutHandler_Stacked::leafRatio(const PLYBlock& block, double widthHint,
                                                  const PLYLayoutGeometry::ImageSizeFunction& imageSize) {
    if (block.aspect_ratio() > 0.0f)
        return block.aspect_ratio();
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
    Pass pass{padding, imageSize, out, QString::fromStdString(section.id()), sectionIndex, {}};
    PLYLayoutGeometry::SectionFrame frame;
    frame.sectionId = pass.sectionId;
    double y = top;
    for (int i = 0; i < section.blocks_size(); ++i) {
        if (i > 0)
            y += padding;
        y += pass.placeAtWidth(section.blocks(i), 0.0, y, width, QString());
        frame.blockIds << QString::fromStdString(section.blocks(i).id());
    }
    const double height = section.blocks_size() == 0 ? PLYLayoutGeometry::kEmptySectionHeight : y - top;
    frame.frame = QRectF(0.0, top, width, height);
    out.sections.push_back(frame);
    return height;
}
