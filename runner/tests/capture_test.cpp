#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "capture_scope.hpp"
#include "ovra/runner/capture.hpp"

namespace ovra_runner::testing {
namespace {

TEST(CaptureScope, CollectsBothSidesInOrderAndRestoresTheOuterSink) {
    std::string outer;
    std::string inner;
    {
        const CaptureScope outer_scope(TestOutputSink{&outer, nullptr});
        print("a{}", 1);
        {
            const CaptureScope inner_scope(TestOutputSink{&inner, nullptr});
            eprintln("b{}", 2);
            println("c");
        }
        eprint("d");
    }
    EXPECT_EQ(outer, "a1d");
    EXPECT_EQ(inner, "b2\nc\n");
}

TEST(CaptureScope, BelongsToOneThread) {
    std::vector<std::string> sinks(4);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < sinks.size(); ++index) {
        threads.emplace_back([&sinks, index] {
            const CaptureScope scope(TestOutputSink{&sinks[index], nullptr});
            for (int line = 0; line < 100; ++line) {
                println("{}", index);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t index = 0; index < sinks.size(); ++index) {
        std::string expected;
        for (int line = 0; line < 100; ++line) {
            expected += std::to_string(index) + "\n";
        }
        EXPECT_EQ(sinks[index], expected);
    }
}

TEST(CaptureScope, PassesTextToTheTerminalSideItWasWrittenTo) {
    std::string out;
    std::string err;
    Console console{ConsoleWriters{[&](std::string_view text) -> IoResult {
                                       out += text;
                                       return {};
                                   },
                                   [&](std::string_view text) -> IoResult {
                                       err += text;
                                       return {};
                                   }},
                    {},
                    {}};
    {
        const CaptureScope scope(TestOutputSink{nullptr, &console});
        println("to out");
        eprintln("to err");
    }
    EXPECT_EQ(out, "to out\n");
    EXPECT_EQ(err, "to err\n");
}

}  // namespace
}  // namespace ovra_runner::testing
