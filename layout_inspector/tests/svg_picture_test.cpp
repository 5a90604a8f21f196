#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "ovra/layout_inspector/svg_picture.hpp"
#include "test_support.hpp"

namespace {

using namespace inspector_test;

// The elements of one class, in document order.
void collect(const tinyxml2::XMLElement* element, std::string_view name, std::string_view wanted_class,
             std::vector<const tinyxml2::XMLElement*>& found) {
    for (; element != nullptr; element = element->NextSiblingElement()) {
        const char* element_class = element->Attribute("class");
        if (std::string_view(element->Name()) == name && element_class != nullptr &&
            element_class == wanted_class) {
            found.push_back(element);
        }
        collect(element->FirstChildElement(), name, wanted_class, found);
    }
}

struct Picture {
    tinyxml2::XMLDocument document;
    std::vector<const tinyxml2::XMLElement*> cells;
    std::vector<const tinyxml2::XMLElement*> labels;
    std::vector<const tinyxml2::XMLElement*> blocks;
};

// Parses the picture back; a picture that is not well-formed XML fails the test.
void parse(const StoredMatrix& m, Picture& picture) {
    const std::expected<std::string, ToolError> svg = svg_picture(m);
    ASSERT_TRUE(svg.has_value()) << describe(m) << ": " << error_line(svg.error());
    ASSERT_EQ(picture.document.Parse(svg->c_str(), svg->size()), tinyxml2::XML_SUCCESS)
        << describe(m) << ": " << picture.document.ErrorStr();
    const tinyxml2::XMLElement* root = picture.document.RootElement();
    ASSERT_NE(root, nullptr);
    ASSERT_STREQ(root->Name(), "svg");
    ASSERT_STREQ(root->Attribute("xmlns"), "http://www.w3.org/2000/svg");
    collect(root, "rect", "cell", picture.cells);
    collect(root, "text", "position", picture.labels);
    collect(root, "rect", "block", picture.blocks);
}

std::string tooltip(const tinyxml2::XMLElement* cell) {
    const tinyxml2::XMLElement* title = cell->FirstChildElement("title");
    return title != nullptr && title->GetText() != nullptr ? title->GetText() : "";
}

TEST(SvgPicture, OutputPanelsAreShadedLabelledAndOutlined) {
    Picture picture;
    parse(matrix(Role::Output, f16, 2, 32), picture);
    ASSERT_EQ(picture.cells.size(), 64U);
    ASSERT_EQ(picture.labels.size(), 64U);
    EXPECT_EQ(picture.blocks.size(), 2U);

    // Cells come row by row. Cell (0, 8) holds position 2: the interleave, made visible.
    EXPECT_EQ(tooltip(picture.cells[8]), "cell (0, 8) at position 2");
    EXPECT_STREQ(picture.labels[8]->GetText(), "2");
    EXPECT_STREQ(picture.labels[16]->GetText(), "32");
    EXPECT_STREQ(picture.labels[63]->GetText(), "63");
    // Lightest first, darkest last, and darker text on the dark half.
    EXPECT_STREQ(picture.cells[0]->Attribute("fill"), "#f7fbff");
    EXPECT_STREQ(picture.cells[63]->Attribute("fill"), "#08306b");
    EXPECT_STREQ(picture.labels[0]->Attribute("fill"), "#000000");
    EXPECT_STREQ(picture.labels[63]->Attribute("fill"), "#ffffff");

    // Each panel outline covers 16 columns of cells and both rows.
    const int cell_width = picture.cells[0]->IntAttribute("width");
    EXPECT_EQ(picture.blocks[1]->IntAttribute("x"), picture.cells[16]->IntAttribute("x"));
    EXPECT_EQ(picture.blocks[1]->IntAttribute("width"), 16 * cell_width);
    EXPECT_EQ(picture.blocks[1]->IntAttribute("height"), 2 * cell_width);
}

TEST(SvgPicture, StorageOrderRunsFromLightToDark) {
    Picture picture;
    parse(matrix(Role::TransposedRight, f32, 16, 16), picture);
    ASSERT_EQ(picture.cells.size(), 256U);
    EXPECT_EQ(picture.blocks.size(), 2U);
    // Position 127 (cell (15, 7)) is stored just before 128 (cell (0, 8)): never lighter.
    const std::string before = picture.cells[15 * 16 + 7]->Attribute("fill");
    const std::string after = picture.cells[8]->Attribute("fill");
    EXPECT_EQ(tooltip(picture.cells[8]), "cell (0, 8) at position 128");
    EXPECT_GE(before, after) << "lower hex digits are darker";
}

TEST(SvgPicture, LargestGridDropsTheLabelsButKeepsEveryCell) {
    Picture picture;
    parse(matrix(Role::Right, f8, 128, 128), picture);
    EXPECT_EQ(picture.cells.size(), 128U * 128U);
    EXPECT_TRUE(picture.labels.empty());
    EXPECT_EQ(picture.blocks.size(), 4U * 8U);
}

}  // namespace
