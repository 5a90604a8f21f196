#include "junit_formatter.hpp"

#include <fmt/format.h>

#include "json_text.hpp"
#include "shared_text.hpp"

namespace ovra_tests {

namespace {

// A unit test's module path is its class, its function name its name.
std::pair<std::string_view, std::string_view> class_and_name(std::string_view full_name) {
    const std::size_t separator = full_name.rfind("::");
    if (separator == std::string_view::npos) {
        return {"crate", full_name};
    }
    return {full_name.substr(0, separator), full_name.substr(separator + 2)};
}

std::string testcase_open(const CompletedTest& completed) {
    const auto [class_name, name] = class_and_name(completed.test.name);
    const double time =
        std::chrono::duration<double>(completed.exec_time.value_or(std::chrono::nanoseconds{})).count();
    return fmt::format("<testcase classname=\"{}\" name=\"{}\" time=\"{}\"", xml_attribute(class_name),
                       xml_attribute(name), json_number(time));
}

std::string system_out(std::string_view output) {
    return fmt::format("<system-out>{}</system-out>", cdata_lines(output));
}

std::string testcase(const CompletedTest& completed, const ConsoleState& state) {
    const std::string open = testcase_open(completed);
    return std::visit(
        [&](const auto& result) -> std::string {
            using Result = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Result, TestIgnored>) {
                return {};
            } else if constexpr (std::is_same_v<Result, TestPassed>) {
                const bool show = state.options != nullptr && state.options->display_output;
                if (!show || completed.output.empty()) {
                    return open + "/>";
                }
                return open + ">" + system_out(completed.output) + "</testcase>";
            } else if constexpr (std::is_same_v<Result, TestTimeLimitExceeded>) {
                return open + "><failure type=\"timeout\"/></testcase>";
            } else {
                std::string text = open + ">";
                if constexpr (std::is_same_v<Result, TestFailedWithNote>) {
                    text += fmt::format("<failure message=\"{}\" type=\"assert\"/>",
                                        xml_attribute(result.message));
                } else {
                    text += "<failure type=\"assert\"/>";
                }
                if (!completed.output.empty()) {
                    text += system_out(completed.output);
                }
                return text + "</testcase>";
            }
        },
        completed.result);
}

}  // namespace

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

void write_run_start(JunitFormatter&, Terminal&, std::size_t, std::optional<std::uint64_t>) {}

void write_test_start(JunitFormatter&, Terminal&, const TestDescriptor&) {}

void write_timeout(JunitFormatter&, Terminal& terminal, const TestDescriptor& test,
                   std::chrono::milliseconds after) {
    write_out(terminal, long_running_text(test.name, after));
}

void write_result(JunitFormatter& formatter, Terminal&, const CompletedTest& completed, const ConsoleState&) {
    formatter.results.push_back(completed);
}

// `skipped` counts ignored tests; tests a filter left out are not part of the suite at all.
bool write_run_finish(JunitFormatter& formatter, Terminal& terminal, const ConsoleState& state) {
    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><testsuites>";
    document += fmt::format(
        "<testsuite name=\"test\" package=\"test\" id=\"0\" errors=\"0\" failures=\"{}\" tests=\"{}\" "
        "skipped=\"{}\" >",
        state.failed, state.total, state.ignored);
    for (const CompletedTest& completed : formatter.results) {
        document += testcase(completed, state);
    }
    document += "<system-out/><system-err/></testsuite></testsuites>\n";
    formatter.results.clear();
    write_out(terminal, document);
    return state.failed == 0;
}

}  // namespace ovra_tests
