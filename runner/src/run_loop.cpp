#include "run_loop.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "shuffle.hpp"

namespace ovra_tests {

namespace {

struct Job {
    std::size_t id;
    TestDescriptor test;
};

struct Completion {
    std::size_t id;
    CompletedTest completed;
};

// Everything the coordinator and the workers share, guarded by one mutex.
struct Mailbox {
    std::mutex mutex;
    std::condition_variable job_ready;
    std::condition_variable result_ready;
    std::deque<Job> jobs;
    std::deque<Completion> done;
    // Per test id: handed to a worker and not yet done.
    std::vector<char> running;
    bool closed = false;
};

struct WorkerPool {
    Mailbox mailbox;
    std::vector<std::thread> threads;

    WorkerPool() = default;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Tests not yet started are dropped; tests still running are waited for, since they use the table and
    // the terminal.
    ~WorkerPool() {
        {
            const std::lock_guard lock(mailbox.mutex);
            mailbox.closed = true;
            mailbox.jobs.clear();
        }
        mailbox.job_ready.notify_all();
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

void work(Mailbox& mailbox, const TestRunContext& context) {
    while (true) {
        Job job{0, {}};
        {
            std::unique_lock lock(mailbox.mutex);
            mailbox.job_ready.wait(lock, [&] { return mailbox.closed || !mailbox.jobs.empty(); });
            if (mailbox.closed) {
                return;
            }
            job = std::move(mailbox.jobs.front());
            mailbox.jobs.pop_front();
        }
        CompletedTest completed = run_one_test(job.test, context);
        {
            const std::lock_guard lock(mailbox.mutex);
            mailbox.running[job.id] = 0;
            mailbox.done.push_back(Completion{job.id, std::move(completed)});
        }
        mailbox.result_ready.notify_one();
    }
}

struct Deadline {
    std::size_t id;
    std::chrono::steady_clock::time_point when;
};

Completion next_completion(Mailbox& mailbox, std::deque<Deadline>& deadlines,
                           const std::vector<TestDescriptor>& tests, const RunSettings& settings,
                           const std::function<bool(const RunEvent&)>& emit) {
    std::unique_lock lock(mailbox.mutex);
    const auto has_result = [&] { return !mailbox.done.empty(); };
    while (mailbox.done.empty()) {
        if (deadlines.empty()) {
            mailbox.result_ready.wait(lock, has_result);
            break;
        }
        mailbox.result_ready.wait_until(lock, deadlines.front().when, has_result);
        std::vector<std::size_t> late;
        const auto now = std::chrono::steady_clock::now();
        while (!deadlines.empty() && deadlines.front().when <= now) {
            if (mailbox.running[deadlines.front().id] != 0) {
                late.push_back(deadlines.front().id);
            }
            deadlines.pop_front();
        }
        if (!late.empty()) {
            lock.unlock();
            for (const std::size_t id : late) {
                (void)emit(TestRunningLong{tests[id], settings.long_running_after});
            }
            lock.lock();
        }
    }
    Completion completion = std::move(mailbox.done.front());
    mailbox.done.pop_front();
    return completion;
}

// Starts up to `count` workers. A refused thread (EAGAIN: a process or thread limit) is not an error: the
// workers already started take every job, and with none the calling thread runs the tests itself.
void start_workers(WorkerPool& pool, std::size_t count, const TestRunContext& context) {
    for (std::size_t worker = 0; worker < count; ++worker) {
        try {
            pool.threads.emplace_back(work, std::ref(pool.mailbox), std::cref(context));
        } catch (const std::system_error& error) {
            if (error.code() != std::errc::resource_unavailable_try_again) {
                throw;
            }
            return;
        }
    }
}

bool is_failure(const TestResult& result) {
    return !std::holds_alternative<TestPassed>(result) && !std::holds_alternative<TestIgnored>(result);
}

std::vector<TestDescriptor> shuffled(std::vector<TestDescriptor> tests, std::uint64_t seed) {
    std::vector<std::string_view> names;
    names.reserve(tests.size());
    for (const TestDescriptor& test : tests) {
        names.push_back(test.name);
    }
    std::vector<TestDescriptor> order;
    order.reserve(tests.size());
    for (const std::size_t index : shuffled_order(seed, names)) {
        order.push_back(tests[index]);
    }
    return order;
}

}  // namespace

std::vector<TestDescriptor> filter_tests(const TestOptions& options, std::span<const TestDescriptor> table) {
    const auto matches = [&](const TestDescriptor& test, std::string_view filter) {
        return options.filter_exact ? test.name == filter : test.name.find(filter) != std::string_view::npos;
    };
    const auto matches_any = [&](const TestDescriptor& test, const std::vector<std::string>& filters) {
        return std::any_of(filters.begin(), filters.end(),
                           [&](const std::string& filter) { return matches(test, filter); });
    };
    std::vector<TestDescriptor> selected;
    for (const TestDescriptor& test : table) {
        if (!options.filters.empty() && !matches_any(test, options.filters)) {
            continue;
        }
        if (matches_any(test, options.skip)) {
            continue;
        }
        if (options.exclude_should_panic && test.should_panic) {
            continue;
        }
        if (options.run_ignored == RunIgnored::Only && !test.ignore) {
            continue;
        }
        TestDescriptor chosen = test;
        if (options.run_ignored != RunIgnored::No) {
            chosen.ignore = false;
        }
        selected.push_back(chosen);
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const TestDescriptor& a, const TestDescriptor& b) { return a.name < b.name; });
    return selected;
}

void run_test_loop(std::span<const TestDescriptor> table, const TestOptions& options,
                   const RunSettings& settings, const std::function<bool(const RunEvent&)>& emit) {
    std::vector<TestDescriptor> tests = filter_tests(options, table);
    (void)emit(TestsFilteredOut{table.size() - tests.size()});
    (void)emit(RunStarted{tests.size(), settings.shuffle_seed});
    if (settings.shuffle_seed) {
        tests = shuffled(std::move(tests), *settings.shuffle_seed);
    }

    const auto runs = [&](const TestDescriptor& test) { return !settings.force_ignore && !test.ignore; };
    const std::size_t concurrency = std::max<std::size_t>(settings.concurrency, 1);
    const auto runnable = static_cast<std::size_t>(std::count_if(tests.begin(), tests.end(), runs));
    WorkerPool pool;
    pool.mailbox.running.assign(tests.size(), 0);
    // One worker's worth of tests runs on the calling thread, without starting a thread at all.
    if (std::min(concurrency, runnable) > 1) {
        start_workers(pool, std::min(concurrency, runnable), settings.test_context);
    }
    const bool inline_runs = pool.threads.empty();

    // With one worker a running test holds the terminal's last line, so there is no long-running report;
    // a test on the calling thread cannot be watched either.
    const bool watch_long_running = concurrency > 1 && !inline_runs;
    std::deque<Deadline> deadlines;
    std::size_t pending = 0;
    std::size_t next = 0;
    while (pending > 0 || next < tests.size()) {
        while (pending < concurrency && next < tests.size()) {
            const std::size_t id = next++;
            const TestDescriptor& test = tests[id];
            (void)emit(TestStarted{test});
            if (!runs(test)) {
                const std::lock_guard lock(pool.mailbox.mutex);
                pool.mailbox.done.push_back(
                    Completion{id, CompletedTest{test, TestIgnored{}, std::nullopt, {}}});
            } else if (inline_runs) {
                CompletedTest completed = run_one_test(test, settings.test_context);
                const std::lock_guard lock(pool.mailbox.mutex);
                pool.mailbox.done.push_back(Completion{id, std::move(completed)});
            } else {
                {
                    const std::lock_guard lock(pool.mailbox.mutex);
                    pool.mailbox.running[id] = 1;
                    pool.mailbox.jobs.push_back(Job{id, test});
                }
                pool.mailbox.job_ready.notify_one();
                if (watch_long_running) {
                    deadlines.push_back(
                        Deadline{id, std::chrono::steady_clock::now() + settings.long_running_after});
                }
            }
            ++pending;
        }
        Completion completion = next_completion(pool.mailbox, deadlines, tests, settings, emit);
        const bool stop = settings.fail_fast && is_failure(completion.completed.result);
        const bool go_on = emit(TestFinished{std::move(completion.completed)});
        --pending;
        if (stop || !go_on) {
            return;
        }
    }
}

}  // namespace ovra_tests
