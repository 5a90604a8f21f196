#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "ovra/layout_inspector/svg_picture.hpp"
#include "test_support.hpp"

namespace {

using namespace inspector_test;

using Elements = std::vector<const tinyxml2::XMLElement*>;

// The elements of each class, in document order.
void collect(const tinyxml2::XMLElement* element, std::map<std::string, Elements>& of_class) {
    for (; element != nullptr; element = element->NextSiblingElement()) {
        if (const char* element_class = element->Attribute("class")) {
            of_class[element_class].push_back(element);
        }
        collect(element->FirstChildElement(), of_class);
    }
}

struct Picture {
    tinyxml2::XMLDocument document;
    Elements cells;
    Elements labels;
    Elements blocks;
};

// A picture that is not well-formed XML fails the test.
void parse(const StoredMatrix& m, Picture& picture) {
    const std::expected<std::string, ToolError> svg = svg_picture(m);
    ASSERT_TRUE(svg.has_value()) << describe(m) << ": " << error_line(svg.error());
    ASSERT_EQ(picture.document.Parse(svg->c_str(), svg->size()), tinyxml2::XML_SUCCESS)
        << describe(m) << ": " << picture.document.ErrorStr();
    const tinyxml2::XMLElement* root = picture.document.RootElement();
    ASSERT_NE(root, nullptr);
    ASSERT_STREQ(root->Name(), "svg");
    ASSERT_STREQ(root->Attribute("xmlns"), "http://www.w3.org/2000/svg");
    std::map<std::string, Elements> of_class;
    collect(root, of_class);
    picture.cells = of_class["cell"];
    picture.labels = of_class["position"];
    picture.blocks = of_class["block"];
}

TEST(SvgPicture, OutputPanelsAreShadedLabelledAndOutlined) {
    Picture picture;
    parse(StoredMatrix{Role::Output, f16, 2, 32}, picture);
    ASSERT_EQ(picture.cells.size(), 64U);
    ASSERT_EQ(picture.labels.size(), 64U);
    EXPECT_EQ(picture.blocks.size(), 2U);

    // Cells come row by row. Cell (0, 8) holds position 2: the interleave, made visible.
    ASSERT_NE(picture.cells[8]->FirstChildElement("title"), nullptr);
    EXPECT_STREQ(picture.cells[8]->FirstChildElement("title")->GetText(), "cell (0, 8) at position 2");
    EXPECT_STREQ(picture.labels[8]->GetText(), "2");
    EXPECT_STREQ(picture.labels[16]->GetText(), "32");
    EXPECT_STREQ(picture.labels[63]->GetText(), "63");
    // Lightest first, darkest last, in the order of storage: cell (0, 2) holds position 4, after cell (0, 8)
    // (lower hex digits are darker). Darker text on the dark half.
    EXPECT_LT(std::string(picture.cells[2]->Attribute("fill")), picture.cells[8]->Attribute("fill"));
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

TEST(SvgPicture, LargestGridDropsTheLabelsButKeepsEveryCell) {
    Picture picture;
    parse(StoredMatrix{Role::Right, f8, 128, 128}, picture);
    EXPECT_EQ(picture.cells.size(), 128U * 128U);
    EXPECT_TRUE(picture.labels.empty());
    EXPECT_EQ(picture.blocks.size(), 4U * 8U);
}

}  // namespace
