#include "junit_formatter.hpp"

#include <fmt/format.h>

#include "number_text.hpp"
#include "report_lines.hpp"
#include "xml_text.hpp"

namespace ovra_runner {

namespace {

// A unit test's module path is its class, its function name its name; a test at the top has no known class.
std::pair<std::string_view, std::string_view> class_and_name(std::string_view full_name) {
    const std::size_t separator = full_name.rfind("::");
    if (separator == std::string_view::npos) {
        return {"unknown", full_name};
    }
    return {full_name.substr(0, separator), full_name.substr(separator + 2)};
}

std::string testcase_open(const CompletedTest& completed) {
    const auto [class_name, name] = class_and_name(completed.test.name);
    return fmt::format("<testcase classname=\"{}\" name=\"{}\" time=\"{}\"", xml_attribute(class_name),
                       xml_attribute(name), plain_seconds(completed.exec_time));
}

std::string system_out(std::string_view output) {
    return fmt::format("<system-out>{}</system-out>", cdata_lines(output));
}

std::string failure(const CompletedTest& completed, std::string_view type) {
    return fmt::format("<failure message=\"{}\" type=\"{}\"/>", xml_attribute(completed.message), type);
}

// The executable's own name, without its folders: what a merged report of several executables tells apart.
std::string_view suite_name(std::string_view program) {
    const std::size_t slash = program.rfind('/');
    return slash == std::string_view::npos ? program : program.substr(slash + 1);
}

std::string testcase(const CompletedTest& completed, bool show_passing_output) {
    const std::string open = testcase_open(completed);
    switch (completed.kind) {
        case ResultKind::Ignored:
            if (!completed.test.ignore_message) {
                return open + "><skipped/></testcase>";
            }
            return fmt::format("{}><skipped message=\"{}\"/></testcase>", open,
                               xml_attribute(*completed.test.ignore_message));
        case ResultKind::Passed:
            if (!show_passing_output || completed.output.empty()) {
                return open + "/>";
            }
            return open + ">" + system_out(completed.output) + "</testcase>";
        case ResultKind::TimeLimitExceeded:
            return open + ">" + failure(completed, "timeout") + "</testcase>";
        case ResultKind::Failed:
            break;
    }
    std::string text = open + ">" + failure(completed, "assert");
    if (!completed.output.empty()) {
        text += system_out(completed.output);
    }
    return text + "</testcase>";
}

}  // namespace

void write(JunitFormatter& formatter, Console& console, const TestRunningLong& step) {
    write_out(console, long_running_text(formatter.plan, step.test));
}

// `skipped` counts ignored tests; tests a filter left out are not part of the suite at all.
void write(JunitFormatter& formatter, Console& console, const RunFinished& step) {
    const RunSummary& summary = step.summary;
    const std::string name = xml_attribute(suite_name(formatter.plan.program));
    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><testsuites>";
    document += fmt::format(
        "<testsuite name=\"{}\" package=\"{}\" id=\"0\" errors=\"0\" failures=\"{}\" tests=\"{}\" "
        "skipped=\"{}\" time=\"{}\">",
        name, name, summary.failed, formatter.plan.tests.size(), summary.ignored,
        plain_seconds(summary.exec_time.value_or(std::chrono::nanoseconds{})));
    for (const CompletedTest& completed : summary.results) {
        document += testcase(completed, formatter.plan.display.show_passing_output);
    }
    document += "<system-out/><system-err/></testsuite></testsuites>\n";
    write_out(console, document);
}

void write(JunitFormatter&, Console& console, const TestListed& step) {
    write_out(console, listed_test_line(step.test));
}

void write(JunitFormatter& formatter, Console& console, const ListingFinished&) {
    write_out(console, listing_summary(formatter.plan));
}

}  // namespace ovra_runner
