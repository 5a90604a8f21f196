// ovra_layout --svg FILE run as a process: whatever fails (a signal included), the previous file stays
// whole, no temporary file is left behind and a symbolic link stays a link, followed only where the
// kernel follows it; writers of one file at the same time all succeed.

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ovra/layout_inspector/tool_error.hpp"
#include "ovra/test_support/child_process.hpp"
#include "test_support.hpp"

namespace {

namespace fs = std::filesystem;
using ovra_layout_inspector::echoed;
using ovra_test_support::ChildOutcome;
using ovra_test_support::run_child;

const std::vector<std::string> shape{"Output", "F16", "16", "64"};

std::vector<std::string> svg_to(const std::string& file) {
    std::vector<std::string> arguments = shape;
    arguments.insert(arguments.end(), {"--svg", file});
    return arguments;
}

// Far more than the one block that the file-size limit below allows.
const std::string& the_picture() {
    static const std::string picture = run_child(OVRA_LAYOUT, svg_to("-")).out;
    return picture;
}

// What a directory holds, without following links: for each entry its permission bits, kind and
// contents (a link's target for a link); the picture stands for itself.
std::map<std::string, std::string> snapshot(const fs::path& top) {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top)) {
        const fs::file_status status = entry.symlink_status();
        std::string description = std::to_string(static_cast<int>(status.permissions()));
        if (fs::is_symlink(status)) {
            description += " link " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_regular_file(status)) {
            const std::string contents = inspector_test::contents_of(entry.path());
            description += " file " + (contents == the_picture() ? "the picture" : contents);
        } else {
            description += " directory";
        }
        entries[entry.path().lexically_relative(top).string()] = description;
    }
    return entries;
}

void write_text(const fs::path& path, const std::string& text, fs::perms mode = fs::perms(0644)) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, mode);
}

// A link left by another user (nobody), as a hostile local user would leave one in /tmp.
void link_as_another_user(const fs::path& target, const fs::path& link) {
    const ChildOutcome made = run_child(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--clear-groups", "ln", "-s", target.string(), link.string()});
    EXPECT_EQ(made.status, 0) << made.err;
}

// The permission bits a new file gets.
fs::perms new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return fs::perms(0666 & ~mask);
}

// How the tool is started: as it is, under a file-size limit of one block, or as a user without the
// privileges that let root write anywhere.
enum class Start { Plainly, UnderFileSizeLimit, Unprivileged };

ChildOutcome run_layout(Start start, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{OVRA_LAYOUT};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (start == Start::UnderFileSizeLimit) {
        command.insert(command.begin(), {"-c", "ulimit -f 1; exec \"$0\" \"$@\""});
        return run_child("/bin/sh", command);
    }
    if (start == Start::Unprivileged && ::geteuid() == 0) {
        command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
        return run_child("/usr/bin/setpriv", command);
    }
    return run_child(command.front(), {command.begin() + 1, command.end()});
}

struct FileCase {
    std::string name;
    std::function<void(const fs::path&)> prepare;  // fills the scratch directory
    std::string target;                            // the FILE argument, inside the scratch directory
    Start start;
    std::string reason;            // the system's reason in the error line; empty when the write succeeds
    std::string written;           // the file that then holds the picture
    bool by_another_user = false;  // needs root, to make another user's link, and protected links
};

TEST(SvgFile, IsReplacedWholeOrLeftAsItWas) {
    ASSERT_GT(the_picture().size(), 4096U);
    const bool root = ::geteuid() == 0;
    const bool can_drop_privileges = !root || ::access("/usr/bin/setpriv", X_OK) == 0;
    const bool links_are_protected = inspector_test::contents_of("/proc/sys/fs/protected_symlinks") == "1\n";
    const auto old = [](const fs::path& at, fs::perms mode = fs::perms(0640)) {
        write_text(at, "old\n", mode);
    };
    // A directory like /tmp: anyone may add to it; only an entry's owner may remove it.
    const auto shared = [](const fs::path& at) {
        fs::create_directory(at);
        fs::permissions(at, fs::perms(01777));
    };
    const auto old_behind_link = [&](const fs::path& d) {
        old(d / "real.svg");
        fs::create_symlink("real.svg", d / "link.svg");
    };

    const std::vector<FileCase> cases{
        {"new file", [](const fs::path&) {}, "picture.svg", Start::Plainly, "", "picture.svg"},
        {"replaced, keeping its mode", [&](const fs::path& d) { old(d / "picture.svg"); }, "picture.svg",
         Start::Plainly, "", "picture.svg"},
        {"through a link, which stays a link", old_behind_link, "link.svg", Start::Plainly, "", "real.svg"},
        {"through a chain of relative links",
         [&](const fs::path& d) {
             old(d / "real.svg");
             fs::create_directory(d / "sub");
             fs::create_symlink("../real.svg", d / "sub" / "second.svg");
             fs::create_symlink("sub/second.svg", d / "first.svg");
         },
         "first.svg", Start::Plainly, "", "real.svg"},
        {"through a link to a file not made yet",
         [](const fs::path& d) { fs::create_symlink("new.svg", d / "link.svg"); }, "link.svg", Start::Plainly,
         "", "new.svg"},
        {"through my own link in a shared sticky directory",
         [&](const fs::path& d) {
             shared(d / "shared");
             old(d / "real.svg");
             fs::create_symlink(d / "real.svg", d / "shared" / "link.svg");
         },
         "shared/link.svg", Start::Plainly, "", "real.svg"},
        // The kernel does not follow these for open(), so the tool does not either, whatever root may write.
        {"another user's link in a shared sticky directory",
         [&](const fs::path& d) {
             shared(d / "shared");
             old(d / "secret", fs::perms(0600));
             link_as_another_user(d / "secret", d / "shared" / "link.svg");
         },
         "shared/link.svg", Start::Plainly, "Permission denied", "", true},
        {"another user's link to a file not made yet in a shared sticky directory",
         [&](const fs::path& d) {
             shared(d / "shared");
             link_as_another_user(d / "new.svg", d / "shared" / "link.svg");
         },
         "shared/link.svg", Start::Plainly, "Permission denied", "", true},
        {"links in a loop",
         [](const fs::path& d) {
             fs::create_symlink("b.svg", d / "a.svg");
             fs::create_symlink("a.svg", d / "b.svg");
         },
         "a.svg", Start::Plainly, "Too many levels of symbolic links", ""},
        {"past the file-size limit, through a link", old_behind_link, "link.svg", Start::UnderFileSizeLimit,
         "File too large", ""},
        {"new, past the file-size limit", [](const fs::path&) {}, "picture.svg", Start::UnderFileSizeLimit,
         "File too large", ""},
        {"in a directory that does not exist", [](const fs::path&) {}, "missing/picture.svg", Start::Plainly,
         "No such file or directory", ""},
        {"in a directory that is not writable",
         [&](const fs::path& d) {
             old(d / "picture.svg", fs::perms(0644));
             fs::permissions(d, fs::perms(0555));
         },
         "picture.svg", Start::Unprivileged, "Permission denied", ""},
        {"over a read-only file",
         [&](const fs::path& d) {
             old(d / "picture.svg", fs::perms(0444));
             fs::permissions(d, fs::perms(0777));
         },
         "picture.svg", Start::Unprivileged, "Permission denied", ""},
        {"over a directory", [](const fs::path& d) { fs::create_directory(d / "picture.svg"); },
         "picture.svg", Start::Plainly, "Is a directory", ""},
    };
    for (const FileCase& c : cases) {
        if ((c.by_another_user && !(root && can_drop_privileges && links_are_protected)) ||
            (c.start == Start::Unprivileged && !can_drop_privileges)) {
            // Root writes wherever it likes; without another user to run as, there is nothing to see.
            std::cout << "[ SKIPPED  ] " << c.name << ": needs another user to run as, as root"
                      << (c.by_another_user ? ", and fs.protected_symlinks = 1\n" : "\n");
            continue;
        }
        const fs::path scratch = inspector_test::make_scratch("ovra_layout_svg");
        c.prepare(scratch);
        std::map<std::string, std::string> want = snapshot(scratch);
        const std::string target = (scratch / c.target).string();
        const ChildOutcome outcome = run_layout(c.start, svg_to(target));
        if (c.reason.empty()) {
            EXPECT_EQ(outcome.status, 0) << c.name;
            EXPECT_EQ(outcome.err, "") << c.name;
            const fs::perms mode = want.contains(c.written) ? fs::perms(0640) : new_file_mode();
            want[c.written] = std::to_string(static_cast<int>(mode)) + " file the picture";
        } else {
            EXPECT_EQ(outcome.status, 1) << c.name;
            EXPECT_EQ(outcome.err, "error: cannot write " + echoed(target) + ": " + c.reason + "\n")
                << c.name;
        }
        EXPECT_EQ(outcome.out, "") << c.name;
        // Back to a mode that lets the snapshot and the clean-up in.
        fs::permissions(scratch, fs::perms(0755));
        EXPECT_EQ(snapshot(scratch), want) << c.name;
        fs::remove_all(scratch);
    }
}

// SIGINT, SIGTERM or SIGHUP in the middle of a replacement (raised by the preload once the temporary
// file is whole, before its rename) end the tool as they would have, without the temporary and with
// the previous file intact; ignored at start, they stay ignored and the file is replaced.
TEST(SvgFile, AnEndingSignalLeavesNoTemporaryBehind) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        for (const bool ignored : {false, true}) {
            const fs::path scratch = inspector_test::make_scratch("ovra_layout_signal");
            write_text(scratch / "picture.svg", "old\n");
            ovra_test_support::ChildOptions options;
            // The sanitizers' runtime need not come first in the library list for this preload.
            options.environment = {"LD_PRELOAD=" OVRA_RAISE_AT_SYNC_LIBRARY,
                                   "ASAN_OPTIONS=verify_asan_link_order=0",
                                   "OVRA_RAISE_AT_SYNC=" + std::to_string(signal_number)};
            options.ignored_signals.assign(ignored ? 1 : 0, signal_number);
            const ChildOutcome outcome =
                run_child(OVRA_LAYOUT, svg_to((scratch / "picture.svg").string()), options);

            const std::string context =
                std::string(::strsignal(signal_number)) + (ignored ? ", ignored" : "");
            EXPECT_EQ(outcome.signal, ignored ? 0 : signal_number) << context;
            const std::map<std::string, std::string> want{
                {"picture.svg", std::to_string(0644) + " file " + (ignored ? "the picture" : "old\n")}};
            EXPECT_EQ(snapshot(scratch), want) << context;
            fs::remove_all(scratch);
        }
    }
}

// Each writer's rename replaces the file that another has just opened; none of them may take that for
// a failure. Twelve writers at once, fifteen times over.
TEST(SvgFile, WritersAtTheSameTimeAllSucceed) {
    const fs::path scratch = inspector_test::make_scratch("ovra_layout_writers");
    std::vector<std::string> command{
        "-c",
        "for round in $(seq 15); do pids=; for writer in $(seq 12); do \"$0\" \"$@\" & pids=\"$pids $!\"; "
        "done; "
        "for pid in $pids; do wait $pid || echo \"a writer ended with $?\"; done; done",
        OVRA_LAYOUT};
    for (const std::string& argument : svg_to((scratch / "picture.svg").string())) {
        command.push_back(argument);
    }
    const ChildOutcome outcome = run_child("/bin/sh", command);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    const std::map<std::string, std::string> want{
        {"picture.svg", std::to_string(static_cast<int>(new_file_mode())) + " file the picture"}};
    EXPECT_EQ(snapshot(scratch), want);
    fs::remove_all(scratch);
}

}  // namespace
