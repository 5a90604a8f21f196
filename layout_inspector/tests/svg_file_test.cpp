// ovra_layout --svg FILE run as a process: whatever fails (a signal included), the previous file stays
// whole, no temporary file is left behind and a symbolic link stays a link, followed only where the
// kernel follows it; writers of one file at the same time all succeed.

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
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

// Makes the entries that `entries` lists in `directory`, in order, each "NAME KIND VALUE" and separated
// by " | ": KIND "file" (holding "old\n") and "dir" with the MODE in octal, "link" to a TARGET and
// "foreign", a link to a TARGET left by another user (nobody), as a hostile local user would leave one.
void prepare(const fs::path& directory, const std::string& entries) {
    std::istringstream list(entries);
    std::string name;
    std::string kind;
    std::string value;
    std::string separator;
    while (list >> name >> kind >> value) {
        const fs::path path = directory / name;
        if (kind == "link") {
            fs::create_symlink(value, path);
        } else if (kind == "foreign") {
            const ChildOutcome made = run_child(
                "/usr/bin/setpriv",
                {"--reuid=65534", "--regid=65534", "--clear-groups", "ln", "-s", value, path.string()});
            EXPECT_EQ(made.status, 0) << made.err;
        } else {
            if (kind == "file") {
                std::ofstream(path, std::ios::binary) << "old\n";
            } else {
                fs::create_directory(path);
            }
            fs::permissions(path, fs::perms(std::stoi(value, nullptr, 8)));
        }
        list >> separator;
    }
}

// The permission bits a new file gets.
fs::perms new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return fs::perms(0666 & ~mask);
}

// How the tool is started: by a shell running one of these with the tool as "$0" and its arguments: as
// it is, under a file-size limit of one block, or as another user, without the privileges that let root
// write anywhere.
constexpr std::string_view plainly = "exec \"$0\" \"$@\"";
constexpr std::string_view under_file_size_limit = "ulimit -f 1; exec \"$0\" \"$@\"";
constexpr std::string_view unprivileged =
    "exec /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"";

ChildOutcome run_layout(std::string_view script, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"-c", std::string(script), OVRA_LAYOUT};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_child("/bin/sh", command);
}

struct FileCase {
    std::string name;
    std::string entries;     // made in the scratch directory before the run (see prepare)
    std::string target;      // the FILE argument, inside the scratch directory
    std::string_view start;  // how the tool is started (above)
    std::string reason;      // the system's reason in the error line; empty when the write succeeds
    std::string written;     // the file that then holds the picture
};

TEST(SvgFile, IsReplacedWholeOrLeftAsItWas) {
    ASSERT_GT(the_picture().size(), 4096U);
    // Root may act as another user, whose rights it does not have.
    const bool root = ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
    const bool links_are_protected = inspector_test::contents_of("/proc/sys/fs/protected_symlinks") == "1\n";
    // "shared" is like /tmp: anyone may add to it; only an entry's owner may remove it.
    const std::vector<FileCase> cases{
        {"new file", "", "picture.svg", plainly, "", "picture.svg"},
        {"replaced, keeping its mode", "picture.svg file 640", "picture.svg", plainly, "", "picture.svg"},
        {"through a link, which stays a link", "real.svg file 640 | link.svg link real.svg", "link.svg",
         plainly, "", "real.svg"},
        {"through a chain of relative links",
         "real.svg file 640 | sub dir 755 | sub/second.svg link ../real.svg | first.svg link sub/second.svg",
         "first.svg", plainly, "", "real.svg"},
        {"through a link to a file not made yet", "link.svg link new.svg", "link.svg", plainly, "",
         "new.svg"},
        {"through my own link in a shared sticky directory",
         "shared dir 1777 | real.svg file 640 | shared/link.svg link ../real.svg", "shared/link.svg", plainly,
         "", "real.svg"},
        // The kernel does not follow these for open(), so the tool does not either, whatever root may write.
        {"another user's link in a shared sticky directory",
         "shared dir 1777 | secret file 600 | shared/link.svg foreign ../secret", "shared/link.svg", plainly,
         "Permission denied", ""},
        {"another user's link to a file not made yet in a shared sticky directory",
         "shared dir 1777 | shared/link.svg foreign ../new.svg", "shared/link.svg", plainly,
         "Permission denied", ""},
        {"links in a loop", "a.svg link b.svg | b.svg link a.svg", "a.svg", plainly,
         "Too many levels of symbolic links", ""},
        {"past the file-size limit, through a link", "real.svg file 640 | link.svg link real.svg", "link.svg",
         under_file_size_limit, "File too large", ""},
        {"new, past the file-size limit", "", "picture.svg", under_file_size_limit, "File too large", ""},
        {"in a directory that does not exist", "", "missing/picture.svg", plainly,
         "No such file or directory", ""},
        {"in a directory that is not writable", "picture.svg file 644 | . dir 555", "picture.svg",
         unprivileged, "Permission denied", ""},
        {"over a read-only file", "picture.svg file 444 | . dir 777", "picture.svg", unprivileged,
         "Permission denied", ""},
        {"over a directory", "picture.svg dir 755", "picture.svg", plainly, "Is a directory", ""},
    };
    for (const FileCase& c : cases) {
        const bool by_another_user = c.entries.find(" foreign ") != std::string::npos;
        if (((by_another_user || c.start == unprivileged) && !root) ||
            (by_another_user && !links_are_protected)) {
            std::cout << "[ SKIPPED  ] " << c.name << ": needs root, setpriv and fs.protected_symlinks = 1\n";
            continue;
        }
        const fs::path scratch = inspector_test::make_scratch("ovra_layout_svg");
        prepare(scratch, c.entries);
        std::map<std::string, std::string> want = snapshot(scratch);
        const std::string target = (scratch / c.target).string();
        const ChildOutcome outcome = run_layout(c.start, svg_to(target));
        if (c.reason.empty()) {
            EXPECT_EQ(outcome.status, 0) << c.name;
            EXPECT_EQ(outcome.err, "") << c.name;
            // A replaced file keeps its mode.
            const std::string mode = want.contains(c.written)
                                         ? want[c.written].substr(0, want[c.written].find(' '))
                                         : std::to_string(static_cast<int>(new_file_mode()));
            want[c.written] = mode + " file the picture";
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
            prepare(scratch, "picture.svg file 644");
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
    const ChildOutcome outcome = run_layout(
        "for round in $(seq 15); do pids=; "
        "for writer in $(seq 12); do \"$0\" \"$@\" & pids=\"$pids $!\"; done; "
        "for pid in $pids; do wait $pid || echo \"a writer ended with $?\"; done; done",
        svg_to((scratch / "picture.svg").string()));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    const std::map<std::string, std::string> want{
        {"picture.svg", std::to_string(static_cast<int>(new_file_mode())) + " file the picture"}};
    EXPECT_EQ(snapshot(scratch), want);
    fs::remove_all(scratch);
}

}  // namespace
