#include <gtest/gtest.h>

#include "PLYLayout.pb.h"
#include "PLYLayoutSerialization.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/util/message_differencer.h>

#include <set>
#include <string>

using google::protobuf::Descriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::Message;

namespace {

// A layout that sets every field of every message and uses every block and section kind.
PLYLayout fullLayout() {
    PLYLayout layout;
    layout.set_id("L");
    layout.set_padding(-12);
    layout.mutable_background_colour()->set_r(255);
    layout.mutable_background_colour()->set_g(12.5f);
    layout.mutable_background_colour()->set_b(1);

    auto addSection = [&](const char* id) {
        PLYSection* s = layout.add_sections();
        s->set_id(id);
        return s;
    };
    PLYSection* stacked = addSection("s-stacked");
    stacked->mutable_stacked();
    addSection("s-mason")->mutable_mason();
    addSection("s-grid")->mutable_grid();
    addSection("s-flow")->mutable_flow();
    addSection("s-free")->mutable_free();

    PLYBlock* box = stacked->add_blocks();
    box->set_id("box");
    box->set_aspect_ratio(0.75f);
    box->mutable_container()->set_vert(true);

    PLYBlock* picture = box->mutable_container()->add_sub_blocks();
    picture->set_id("img");
    picture->mutable_image()->set_img_ref("ref-1");
    picture->mutable_image()->set_source_last_updated("1500000000");
    picture->mutable_image()->mutable_position()->set_alignment(PLYAlignment_Right);
    picture->mutable_image()->mutable_position()->set_x(0.1f);
    picture->mutable_image()->mutable_position()->set_y(-0.2f);
    picture->mutable_image()->mutable_position()->set_width(1.3f);

    PLYBlock* text = box->mutable_container()->add_sub_blocks();
    text->set_id("txt");
    text->mutable_text()->set_value("Hello, wörld");
    text->mutable_text()->set_style(PLYTextStyle_Quote);
    text->mutable_text()->mutable_position()->set_alignment(PLYAlignment_Justify);
    text->mutable_text()->mutable_position()->set_width(0.7f);
    PLYTextRun* run = text->mutable_text()->add_runs();
    run->set_location(7);
    run->set_length(5);
    run->add_properties(PLYTextProperty_Bold);
    run->add_properties(PLYTextProperty_Link);
    run->set_link("https://example.com/a?b=c");
    text->mutable_text()->mutable_colour()->set_r(3);

    PLYBlock* blank = stacked->add_blocks();
    blank->set_id("blank");
    blank->set_aspect_ratio(1.5f);
    blank->mutable_blank();

    PLYBlock* button = stacked->add_blocks();
    button->set_id("btn");
    button->mutable_download_button()->set_title("DOWNLOAD IMAGES");
    button->mutable_download_button()->set_use_pellory_styling(true);
    button->mutable_download_button()->mutable_position()->set_alignment(PLYAlignment_Centre);

    return layout;
}

// Every (message, field) pair that holds a value somewhere in `message`.
void collectSetFields(const Message& message, std::set<std::string>& out) {
    std::vector<const FieldDescriptor*> fields;
    message.GetReflection()->ListFields(message, &fields);
    for (const FieldDescriptor* f : fields) {
        out.insert(f->full_name());
        if (f->cpp_type() != FieldDescriptor::CPPTYPE_MESSAGE) continue;
        if (f->is_repeated()) {
            for (int i = 0; i < message.GetReflection()->FieldSize(message, f); ++i)
                collectSetFields(message.GetReflection()->GetRepeatedMessage(message, f, i), out);
        } else {
            collectSetFields(message.GetReflection()->GetMessage(message, f), out);
        }
    }
}

void collectAllFields(const Descriptor* d, std::set<std::string>& out, std::set<const Descriptor*>& seen) {
    if (!seen.insert(d).second) return;
    for (int i = 0; i < d->field_count(); ++i) {
        out.insert(d->field(i)->full_name());
        if (d->field(i)->message_type()) collectAllFields(d->field(i)->message_type(), out, seen);
    }
}

}  // namespace

TEST(LayoutSerialization, SampleCoversEveryFieldOfTheSchema) {
    std::set<std::string> all, set;
    std::set<const Descriptor*> seen;
    collectAllFields(PLYLayout::descriptor(), all, seen);
    collectSetFields(fullLayout(), set);
    for (const std::string& name : all) EXPECT_TRUE(set.count(name)) << name << " is not exercised by the sample";
}

TEST(LayoutSerialization, RoundTripKeepsEveryFieldAndKind) {
    const PLYLayout original = fullLayout();
    const QByteArray bytes = PLYLayoutSerialization::serialize(original);
    PLYLayout parsed;
    PLYError error;
    ASSERT_TRUE(PLYLayoutSerialization::parse(bytes, parsed, &error)) << error.toString().toStdString();
    EXPECT_TRUE(google::protobuf::util::MessageDifferencer::Equals(original, parsed));
    EXPECT_EQ(parsed.sections(0).blocks(0).container().sub_blocks(1).text().runs(0).link(), "https://example.com/a?b=c");
    std::vector<int> kinds;
    for (const PLYSection& s : parsed.sections()) kinds.push_back(s.kind_case());
    EXPECT_EQ(kinds, (std::vector<int>{10, 11, 12, 13, 14}));
    EXPECT_EQ(parsed.sections(0).blocks(0).type_case(), 4);
    EXPECT_EQ(parsed.sections(0).blocks(0).container().sub_blocks(0).type_case(), 5);
    EXPECT_EQ(parsed.sections(0).blocks(0).container().sub_blocks(1).type_case(), 6);
    EXPECT_EQ(parsed.sections(0).blocks(1).type_case(), 7);
    EXPECT_EQ(parsed.sections(0).blocks(2).type_case(), 9);

    PLYLayout viaText;
    ASSERT_TRUE(PLYLayoutSerialization::parseBase64(PLYLayoutSerialization::base64(original), viaText));
    EXPECT_TRUE(google::protobuf::util::MessageDifferencer::Equals(original, viaText));
}

TEST(LayoutSerialization, EqualLayoutsGiveEqualBytesAndBase64WithoutLineBreaks) {
    const PLYLayout a = fullLayout();
    PLYLayout b;
    b.CopyFrom(a);
    EXPECT_EQ(PLYLayoutSerialization::serialize(a), PLYLayoutSerialization::serialize(b));
    b.mutable_sections(0)->mutable_blocks(1)->set_aspect_ratio(1.25f);
    EXPECT_NE(PLYLayoutSerialization::serialize(a), PLYLayoutSerialization::serialize(b));

    const QString text = PLYLayoutSerialization::base64(a);
    EXPECT_GT(text.size(), 76);
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_EQ(QByteArray::fromBase64(text.toLatin1()), PLYLayoutSerialization::serialize(a));
}

TEST(LayoutSerialization, MalformedBytesReportAnErrorAndLeaveTheTargetAlone) {
    PLYLayout target = fullLayout();
    const QByteArray before = PLYLayoutSerialization::serialize(target);
    PLYError error;
    EXPECT_FALSE(PLYLayoutSerialization::parse(QByteArray("\x0a\xff\xff\xff", 4), target, &error));
    EXPECT_EQ(error.domain, PLYLayoutSerialization::ErrorDomain);
    EXPECT_EQ(error.code, PLYLayoutSerialization::ParseFailed);
    EXPECT_EQ(PLYLayoutSerialization::serialize(target), before);

    EXPECT_FALSE(PLYLayoutSerialization::parseBase64("not base64 !!", target, &error));
    EXPECT_EQ(PLYLayoutSerialization::serialize(target), before);
}

TEST(LayoutSerialization, BlocksAndPositionsTravelOnTheirOwn) {
    const PLYBlock original = fullLayout().sections(0).blocks(0);
    PLYBlock block;
    ASSERT_TRUE(PLYLayoutSerialization::parse(PLYLayoutSerialization::serialize(original), block));
    EXPECT_TRUE(google::protobuf::util::MessageDifferencer::Equals(original, block));

    PLYPadding padding;
    padding.set_index(3);
    padding.set_space(4.5f);
    PLYPadding back;
    ASSERT_TRUE(PLYLayoutSerialization::parse(PLYLayoutSerialization::serialize(padding), back));
    EXPECT_EQ(back.index(), 3);
    EXPECT_FLOAT_EQ(back.space(), 4.5f);
}
