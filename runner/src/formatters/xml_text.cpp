#include "xml_text.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "utf8_text.hpp"

namespace ovra_runner {

namespace {

// Well-formed UTF-8 holding only characters XML 1.0 allows: the control characters but tab, line feed and
// carriage return, and U+FFFE and U+FFFF, become U+FFFD.
std::string xml_characters(std::string_view raw) {
    const std::string text = lossy_utf8(raw);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const bool forbidden_control = byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
        const bool noncharacter = byte == 0xEF && at + 2 < text.size() &&
                                  static_cast<unsigned char>(text[at + 1]) == 0xBF &&
                                  static_cast<unsigned char>(text[at + 2]) >= 0xBE;
        if (forbidden_control) {
            out.append(replacement_character);
        } else if (noncharacter) {
            out.append(replacement_character);
            at += 2;
        } else {
            out.push_back(text[at]);
        }
    }
    return out;
}

}  // namespace

std::string xml_attribute(std::string_view raw) {
    constexpr std::array<std::pair<char, std::string_view>, 8> references{{{'&', "&amp;"},
                                                                           {'<', "&lt;"},
                                                                           {'>', "&gt;"},
                                                                           {'"', "&quot;"},
                                                                           {'\'', "&apos;"},
                                                                           {'\n', "&#xA;"},
                                                                           {'\r', "&#xD;"},
                                                                           {'\t', "&#x9;"}}};
    const std::string text = xml_characters(raw);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto reference = std::ranges::find(references, c, &std::pair<char, std::string_view>::first);
        if (reference != references.end()) {
            out.append(reference->second);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string cdata_lines(std::string_view raw) {
    const std::string cleaned = xml_characters(raw);
    const std::string_view text = cleaned;
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // An empty line inside the text is a bare line break; only the first and the last keep an empty
        // section, as readers of the standard runner's reports expect.
        if (line.empty() && start != 0 && end != std::string_view::npos) {
            out.append("&#xA;");
            start = end + 1;
            continue;
        }
        out.append("<![CDATA[");
        std::size_t from = 0;
        for (std::size_t close = line.find("]]>"); close != std::string_view::npos;
             close = line.find("]]>", from)) {
            out.append(line.substr(from, close + 2 - from));
            out.append("]]><![CDATA[");
            from = close + 2;
        }
        out.append(line.substr(from));
        out.append("]]>");
        if (end == std::string_view::npos) {
            return out;
        }
        out.append("&#xA;");
        start = end + 1;
    }
}

}  // namespace ovra_runner
