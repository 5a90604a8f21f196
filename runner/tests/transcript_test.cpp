#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "demo_tests.hpp"
#include "ovra/runner/runner.hpp"
#include "run_helpers.hpp"
#include "transcript.hpp"

namespace ovra_runner::testing {
namespace {

using ovra_runner_demo::demo_table;

const std::vector<TranscriptBlock>& recorded_blocks() {
    static const std::vector<TranscriptBlock> blocks =
        read_transcripts(std::filesystem::path(OVRA_RUNNER_TEST_DATA) / "reference_transcripts.txt");
    return blocks;
}

bool contains(const std::vector<std::string>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Refusals of the other runner's stable channel; here those options work without `-Z unstable-options`.
bool refused_as_unstable(const TranscriptBlock& block) {
    return block.args.front() == "./S" &&
           block.err.find("only accepted on the nightly compiler") != std::string::npos;
}

bool is_help(const TranscriptBlock& block) {
    return contains(block.args, "--help");
}

std::vector<TranscriptBlock> blocks_where(bool (*keep)(const TranscriptBlock&)) {
    std::vector<TranscriptBlock> kept;
    for (const TranscriptBlock& block : recorded_blocks()) {
        if (keep(block)) {
            kept.push_back(block);
        }
    }
    return kept;
}

bool comparable(const TranscriptBlock& block) {
    return !refused_as_unstable(block) && !is_help(block);
}

RunOutput run_demo(const TranscriptBlock& block) {
    return run_command(demo_table(), block.args);
}

bool single_threaded(const TranscriptBlock& block) {
    for (std::size_t i = 0; i + 1 < block.args.size(); ++i) {
        if (block.args[i] == "--test-threads" && block.args[i + 1] == "1") {
            return true;
        }
    }
    return false;
}

// Tests a recorded run ran, from whichever format it printed.
std::size_t tests_run(const TranscriptBlock& block) {
    for (const std::string_view prefix : {"running ", "\"test_count\": ", "tests=\""}) {
        if (const auto count = number_after(block.out, prefix)) {
            return *count;
        }
    }
    return 0;
}

std::string test_name(const ::testing::TestParamInfo<TranscriptBlock>& info) {
    return identifier_from(info.param.command) + "_" + std::to_string(info.index);
}

class RecordedRun : public ::testing::TestWithParam<TranscriptBlock> {};

// JUnit departs from the standard runner's on purpose, for the tools that read it (docs/architecture.md, "--format junit"):
// a run in that format is held to our own recorded document.
std::string expected_out(const TranscriptBlock& block) {
    if (!contains(block.args, "junit")) {
        return block.out;
    }
    return read_data_file("junit/in_process.xml");
}

TEST_P(RecordedRun, PrintsWhatTheStandardRunnerPrints) {
    const TranscriptBlock& block = GetParam();
    std::string expected_err = block.err;
    if (contains(block.args, "--logfile")) {
        // The recorded warning lacks its line end; ours has one.
        expected_err.push_back('\n');
    }
    const bool order_varies = !single_threaded(block) && tests_run(block) > 1;
    const bool terse = contains(block.args, "terse") || contains(block.args, "-q");
    // Runs whose order varies repeat, so that a race between workers has several chances to show.
    const int repetitions = order_varies ? 8 : 1;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        const RunOutput actual = run_demo(block);
        EXPECT_EQ(actual.status, block.exit_status);
        EXPECT_EQ(normalise(actual.err), normalise(expected_err));
        if (order_varies) {
            EXPECT_EQ(sorted_lines(normalise(actual.out), terse), sorted_lines(normalise(expected_out(block)), terse))
                << actual.out;
        } else {
            EXPECT_EQ(normalise(actual.out), normalise(expected_out(block)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, RecordedRun, ::testing::ValuesIn(blocks_where(comparable)), test_name);

TEST(TranscriptFile, HoldsEveryRecordedCommand) {
    // A parser that lost blocks would quietly shrink the comparison above.
    EXPECT_EQ(recorded_blocks().size(), 56U);
    EXPECT_EQ(blocks_where(refused_as_unstable).size(), 8U);
    EXPECT_EQ(blocks_where(comparable).size(), 47U);
}

class UnstableElsewhere : public ::testing::TestWithParam<TranscriptBlock> {};

TEST_P(UnstableElsewhere, RunsWithoutAskingForUnstableOptions) {
    const RunOutput actual = run_demo(GetParam());
    EXPECT_EQ(actual.err, "");
    EXPECT_EQ(actual.status, 101);  // the demo's failing tests ran (with --fail-fast, one of them)
    const bool failure_shown = actual.out.find("randomized_beta_fails_eq") != std::string::npos ||
                               actual.out.find("randomized_gamma_returns_error") != std::string::npos;
    EXPECT_TRUE(failure_shown) << actual.out;
}

INSTANTIATE_TEST_SUITE_P(Transcripts, UnstableElsewhere,
                         ::testing::ValuesIn(blocks_where(refused_as_unstable)), test_name);

// Every word that starts with '-' in the options part of a help text.
std::vector<std::string> option_words(std::string_view help) {
    const std::string_view options = help.substr(0, help.find("\n\n\n"));
    std::vector<std::string> words;
    for (std::size_t at = 0; at < options.size(); ++at) {
        const bool word_start =
            options[at] == '-' && (at == 0 || options[at - 1] == ' ' || options[at - 1] == '\n');
        if (word_start) {
            const std::size_t end = options.find_first_of(" ,=\n", at);
            words.emplace_back(options.substr(at, end == std::string_view::npos ? end : end - at));
            at = end == std::string_view::npos ? options.size() : end;
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

TEST(Help, OffersTheRecordedOptionsInOurOwnTerms) {
    const std::vector<TranscriptBlock> help = blocks_where(is_help);
    ASSERT_EQ(help.size(), 1U);
    const RunOutput actual = run_demo(help.front());
    EXPECT_EQ(actual.status, 0);
    EXPECT_EQ(actual.err, "");
    ASSERT_TRUE(actual.out.starts_with("Usage: ./S [OPTIONS] [FILTERS...]\n\nOptions:\n")) << actual.out;
    // Ours adds the options of the process-per-test strategy, which the standard runner does not offer.
    std::vector<std::string> expected = option_words(help.front().out);
    expected.insert(expected.end(), {"--isolate", "--timeout"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(option_words(actual.out), expected);
    EXPECT_EQ(actual.out.find("RUST_"), std::string::npos);
    EXPECT_EQ(actual.out.find("#["), std::string::npos);
    EXPECT_NE(actual.out.find("OVRA_TEST_TIME_UNIT"), std::string::npos);
}

TEST(FailureHeader, NamesTheFailedCheckInOurSource) {
    const TestDescriptor& beta = demo_table()[1];
    const RunOutput actual = run_table(demo_table(), {"--exact", std::string(beta.name)});
    const std::string start = fmt::format("\nthread '{}' (", beta.name);
    const std::size_t at = actual.out.find(start);
    ASSERT_NE(at, std::string::npos) << actual.out;
    const std::optional<std::size_t> thread_id = number_after(actual.out.substr(at), start);
    ASSERT_TRUE(thread_id.has_value()) << actual.out;
    // The check is the first statement of the test function.
    const std::string place = fmt::format("{}{}) panicked at runner/tests/demo/demo_tests.cpp:{}:", start,
                                          *thread_id, beta.start_line + 1);
    EXPECT_TRUE(actual.out.substr(at).starts_with(place)) << actual.out;
}

}  // namespace
}  // namespace ovra_runner::testing
