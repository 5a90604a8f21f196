#include "xml_text.hpp"

namespace ovra_runner {

std::string xml_attribute(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            case '\'':
                out.append("&apos;");
                break;
            case '\n':
                out.append("&#xA;");
                break;
            case '\r':
                out.append("&#xD;");
                break;
            case '\t':
                out.append("&#x9;");
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string cdata_lines(std::string_view text) {
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
