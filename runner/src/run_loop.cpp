#include "run_loop.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "run_test.hpp"

namespace ovra_runner {

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

void work(Mailbox& mailbox, RunState& state) {
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
        CompletedTest completed = run_test(job.test, state);
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

Completion next_completion(Mailbox& mailbox, std::deque<Deadline>& deadlines, const RunPlan& plan,
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
                (void)emit(TestRunningLong{plan.tests[id], plan.long_running_after});
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
void start_workers(WorkerPool& pool, std::size_t count, RunState& state) {
    for (std::size_t worker = 0; worker < count; ++worker) {
        try {
            pool.threads.emplace_back(work, std::ref(pool.mailbox), std::ref(state));
        } catch (const std::system_error& error) {
            if (error.code() != std::errc::resource_unavailable_try_again) {
                throw;
            }
            return;
        }
    }
}

}  // namespace

void run_test_loop(RunState& state, const std::function<bool(const RunEvent&)>& emit) {
    const RunPlan& plan = state.plan;
    const std::vector<TestDescriptor>& tests = plan.tests;
    (void)emit(RunStarted{tests.size(), plan.shuffle_seed});

    const auto runs = [&](const TestDescriptor& test) { return !plan.force_ignore && !test.ignore; };
    const std::size_t concurrency = std::max<std::size_t>(plan.workers, 1);
    const auto runnable = static_cast<std::size_t>(std::count_if(tests.begin(), tests.end(), runs));
    WorkerPool pool;
    pool.mailbox.running.assign(tests.size(), 0);
    // One worker's worth of tests runs on the calling thread, without starting a thread at all.
    if (std::min(concurrency, runnable) > 1) {
        start_workers(pool, std::min(concurrency, runnable), state);
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
                CompletedTest completed = run_test(test, state);
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
                        Deadline{id, std::chrono::steady_clock::now() + plan.long_running_after});
                }
            }
            ++pending;
        }
        Completion completion = next_completion(pool.mailbox, deadlines, plan, emit);
        const bool stop = plan.fail_fast && is_failure(classify(completion.completed.result).kind);
        const bool go_on = emit(TestFinished{std::move(completion.completed)});
        --pending;
        if (stop || !go_on) {
            return;
        }
    }
}

}  // namespace ovra_runner
