#include "PLYTestLayouts.h"

#include <QStringList>

#include <functional>

namespace PLYTestLayouts {

PLYBlock image(const std::string& id, const std::string& imageRef, float aspectRatio) {
    PLYBlock block;
    block.set_id(id);
    block.set_aspect_ratio(aspectRatio);
    block.mutable_image()->set_img_ref(imageRef);
    return block;
}

PLYBlock blank(const std::string& id, float aspectRatio) {
    PLYBlock block;
    block.set_id(id);
    block.set_aspect_ratio(aspectRatio);
    block.mutable_blank();
    return block;
}

PLYBlock text(const std::string& id, const std::string& value, PLYTextStyle style) {
    PLYBlock block;
    block.set_id(id);
    block.mutable_text()->set_value(value);
    block.mutable_text()->set_style(style);
    return block;
}

PLYBlock downloadButton(const std::string& id) {
    PLYBlock block;
    block.set_id(id);
    block.mutable_download_button()->set_title("DOWNLOAD IMAGES");
    return block;
}

PLYBlock container(const std::string& id, bool vertical, std::initializer_list<PLYBlock> children) {
    PLYBlock block;
    block.set_id(id);
    block.mutable_container()->set_vert(vertical);
    for (const PLYBlock& child : children)
        *block.mutable_container()->add_sub_blocks() = child;
    return block;
}

PLYSection section(const std::string& id, std::initializer_list<PLYBlock> blocks) {
    PLYSection s;
    s.set_id(id);
    s.mutable_stacked();
    for (const PLYBlock& block : blocks)
        *s.add_blocks() = block;
    return s;
}

PLYLayout layout(qint64 padding, std::initializer_list<PLYSection> sections, int r, int g, int b) {
    PLYLayout l;
    l.set_id("layout");
    l.set_padding(padding);
    l.mutable_background_colour()->set_r(float(r));
    l.mutable_background_colour()->set_g(float(g));
    l.mutable_background_colour()->set_b(float(b));
    for (const PLYSection& s : sections)
        *l.add_sections() = s;
    return l;
}

}  // namespace PLYTestLayouts

namespace PLYTestLayouts {
namespace {
QString shapeOf(const google::protobuf::RepeatedPtrField<PLYBlock>& blocks) {
    QStringList parts;
    for (const PLYBlock& b : blocks) {
        if (b.type_case() == PLYBlock::kContainer) {
            const QString inner = shapeOf(b.container().sub_blocks());
            parts << (b.container().vert() ? "[" + inner + "]" : "(" + inner + ")");
        } else {
            parts << QString::fromStdString(b.id());
        }
    }
    return parts.join(',');
}
}  // namespace

QString shape(const PLYSection& section) { return shapeOf(section.blocks()); }
}  // namespace PLYTestLayouts

namespace PLYTestLayouts {
int imageBlockCount(const PLYLayout& layout) {
    int count = 0;
    std::function<void(const PLYBlock&)> visit = [&](const PLYBlock& block) {
        if (block.has_image()) ++count;
        if (block.has_container())
            for (const PLYBlock& child : block.container().sub_blocks()) visit(child);
    };
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks()) visit(block);
    return count;
}
PLYLayout picturesInRows(int count) {
    PLYSection s = section("s", {});
    int n = 0;
    auto id = [&n] { return "b" + std::to_string(n++); };
    while (n < count) {
        switch (s.blocks_size() % 3) {
        case 0: *s.add_blocks() = image(id(), "landscape"); break;
        case 1:
            *s.add_blocks() = container(id(), false, {image(id(), "portrait"), image(id(), "landscape"), blank(id())});
            break;
        default:
            *s.add_blocks() = container(
                id(), false, {image(id(), "landscape"), container(id(), true, {image(id(), "portrait"), blank(id(), 2.0f)})});
            break;
        }
    }
    return layout(10, {s});
}

}  // namespace PLYTestLayouts
