#include "run_loop.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "test_execution.hpp"

namespace ovra_runner {

namespace {

using Emit = std::function<bool(const RunEvent&)>;

// An ignored test finishes as soon as it starts; any other runs the way the plan says.
CompletedTest run_or_ignore(const TestDescriptor& test, RunState& state) {
    return test.ignore ? CompletedTest{.test = test, .kind = ResultKind::Ignored} : execute(test, state);
}

// Reports a finished test; false when the run must start nothing more (the first failure with
// `--fail-fast`, or a report that can no longer be written).
bool finish(const RunPlan& plan, CompletedTest completed, const Emit& emit) {
    const bool stop = plan.fail_fast && (completed.kind == ResultKind::Failed ||
                                         completed.kind == ResultKind::TimeLimitExceeded);
    return emit(TestFinished{std::move(completed)}) && !stop;
}

// One worker: every test in turn on the calling thread.
void run_serially(RunState& state, const Emit& emit) {
    for (const TestDescriptor& test : state.plan.tests) {
        (void)emit(TestStarted{test});
        if (!finish(state.plan, run_or_ignore(test, state), emit)) {
            return;
        }
    }
}

// Test ids in the order they were pushed. Each id is pushed at most once, so the storage is sized for every
// test before the run: handing work between threads never allocates, and so never fails, once it has begun.
struct IdQueue {
    std::vector<std::size_t> ids;
    std::size_t head = 0;
    std::size_t tail = 0;

    explicit IdQueue(std::size_t capacity) : ids(capacity) {}
    bool empty() const { return head == tail; }
    void push(std::size_t id) { ids[tail++] = id; }
    std::size_t pop() { return ids[head++]; }
};

// Everything the coordinator and the workers share, guarded by one mutex.
struct Mailbox {
    explicit Mailbox(std::size_t tests) : jobs(tests), done(tests), results(tests), running(tests, 0) {}

    std::mutex mutex;
    std::condition_variable job_ready;
    std::condition_variable result_ready;
    IdQueue jobs;
    IdQueue done;
    // By test id; empty for a done test whose run failed in the runner's own code.
    std::vector<std::optional<CompletedTest>> results;
    // Per test id: handed to a worker and not yet done.
    std::vector<char> running;
    // The first failure of the runner's own code on a worker (out of memory around a child process, say):
    // the calling thread ends the run with it.
    std::exception_ptr fault;
    bool closed = false;
};

void work(Mailbox& mailbox, RunState& state) noexcept {
    while (true) {
        std::size_t id = 0;
        {
            std::unique_lock lock(mailbox.mutex);
            mailbox.job_ready.wait(lock, [&] { return mailbox.closed || !mailbox.jobs.empty(); });
            if (mailbox.closed) {
                return;
            }
            id = mailbox.jobs.pop();
        }
        std::optional<CompletedTest> completed;
        std::exception_ptr fault;
        try {
            completed.emplace(execute(state.plan.tests[id], state));
        } catch (...) {
            fault = std::current_exception();
        }
        {
            const std::lock_guard lock(mailbox.mutex);
            mailbox.running[id] = 0;
            mailbox.results[id] = std::move(completed);
            if (fault && !mailbox.fault) {
                mailbox.fault = fault;
            }
            mailbox.done.push(id);
        }
        mailbox.result_ready.notify_one();
    }
}

struct WorkerPool {
    explicit WorkerPool(std::size_t tests) : mailbox(tests) {}
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Tests not yet started are dropped; tests still running are waited for, since they use the table and
    // the terminal.
    ~WorkerPool() {
        {
            const std::lock_guard lock(mailbox.mutex);
            mailbox.closed = true;
        }
        mailbox.job_ready.notify_all();
        for (std::thread& thread : threads) {
            thread.join();
        }
    }

    Mailbox mailbox;
    std::vector<std::thread> threads;
};

// Starts up to `count` workers. A thread the system refuses (EAGAIN: a process or thread limit; or no
// memory for it) is not an error: the workers already started take every job.
void start_workers(WorkerPool& pool, std::size_t count, RunState& state) {
    pool.threads.reserve(count);
    for (std::size_t worker = 0; worker < count; ++worker) {
        try {
            pool.threads.emplace_back(work, std::ref(pool.mailbox), std::ref(state));
        } catch (const std::system_error& error) {
            if (error.code() != std::errc::resource_unavailable_try_again) {
                throw;
            }
            return;
        } catch (const std::bad_alloc&) {
            return;
        }
    }
}

using Clock = std::chrono::steady_clock;

// The next finished test's id, reporting tests that run long while waiting. `watched` counts the jobs, in
// the order they were handed out (the order their deadlines pass), already looked at. A failure of the
// runner's own code on a worker is thrown here.
std::size_t next_completion(Mailbox& mailbox, std::size_t& watched, const std::vector<Clock::time_point>& deadlines,
                            const RunPlan& plan, const Emit& emit) {
    std::unique_lock lock(mailbox.mutex);
    const auto has_result = [&] { return !mailbox.done.empty(); };
    const std::vector<std::size_t>& jobs = mailbox.jobs.ids;
    while (mailbox.done.empty()) {
        if (watched == mailbox.jobs.tail) {
            mailbox.result_ready.wait(lock, has_result);
            break;
        }
        mailbox.result_ready.wait_until(lock, deadlines[jobs[watched]], has_result);
        const auto now = Clock::now();
        for (; watched < mailbox.jobs.tail && deadlines[jobs[watched]] <= now; ++watched) {
            const std::size_t id = jobs[watched];
            if (mailbox.running[id] != 0) {
                lock.unlock();
                (void)emit(TestRunningLong{plan.tests[id]});
                lock.lock();
            }
        }
    }
    if (mailbox.fault) {
        std::rethrow_exception(mailbox.fault);
    }
    return mailbox.done.pop();
}

// Several workers: up to `plan.workers` tests are under way at once, each on a worker thread of its own,
// while the calling thread hands them out and reports them. False, before anything is reported, where a
// serial run does as well: for a single test to run, which gains nothing from a thread of its own, or when
// the system allows no worker thread at all.
bool run_concurrently(RunState& state, const Emit& emit) {
    const RunPlan& plan = state.plan;
    const std::vector<TestDescriptor>& tests = plan.tests;
    const auto runnable = static_cast<std::size_t>(
        std::count_if(tests.begin(), tests.end(), [](const TestDescriptor& test) { return !test.ignore; }));
    if (runnable == 1) {
        return false;
    }
    WorkerPool pool(tests.size());
    start_workers(pool, std::min(plan.workers, runnable), state);
    if (runnable > 0 && pool.threads.empty()) {
        return false;
    }
    Mailbox& mailbox = pool.mailbox;
    // By test id: when a test still running is reported as running long.
    std::vector<Clock::time_point> deadlines(tests.size());
    std::size_t watched = 0;
    std::size_t pending = 0;
    std::size_t next = 0;
    while (pending > 0 || next < tests.size()) {
        while (pending < plan.workers && next < tests.size()) {
            const std::size_t id = next++;
            const TestDescriptor& test = tests[id];
            (void)emit(TestStarted{test});
            {
                const std::lock_guard lock(mailbox.mutex);
                if (test.ignore) {
                    mailbox.results[id] = run_or_ignore(test, state);
                    mailbox.done.push(id);
                } else {
                    deadlines[id] = Clock::now() + plan.long_running_after;
                    mailbox.running[id] = 1;
                    mailbox.jobs.push(id);
                }
            }
            mailbox.job_ready.notify_one();
            ++pending;
        }
        const std::size_t id = next_completion(mailbox, watched, deadlines, plan, emit);
        --pending;
        if (!finish(plan, std::move(*mailbox.results[id]), emit)) {
            return true;
        }
    }
    return true;
}

}  // namespace

void execute_plan(RunState& state, const Emit& emit) {
    (void)emit(RunStarted{});
    // One worker, one test to run, or no worker thread that the system allows: the tests run one after another
    // on this thread.
    if (state.plan.workers == 1 || !run_concurrently(state, emit)) {
        run_serially(state, emit);
    }
}

}  // namespace ovra_runner
