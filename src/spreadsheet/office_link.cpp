#include "spreadsheet/office_link.h"

#include "platform/process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace spreadsheet::uno {

namespace {

// How long a call may take before the waiting caller lets its windows
// repaint, and how often it looks again.
constexpr int quietMs = 100;
constexpr int sliceMs = 20;

// One call handed to the call thread; the caller waits until it is done.
class Job {
public:
    explicit Job(const std::function<void()>& task) : task_(task) {}

    void run()
    {
        try {
            task_();
        } catch (...) {
            error_ = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        done_ = true;
        finished_.notify_all();
    }

    bool waitFor(int ms)
    {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
    }

    std::exception_ptr error() const { return error_; }

private:
    const std::function<void()>& task_;
    std::exception_ptr error_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
};

// The thread that makes the calls into the office, one after the other.
class CallThread {
public:
    static CallThread& instance()
    {
        static CallThread thread;
        return thread;
    }

    ~CallThread()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

    void post(std::shared_ptr<Job> job)
    {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

private:
    CallThread() : thread_([this] { loop(); }) {}

    void loop()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
                if (jobs_.empty())
                    return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job->run();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> jobs_;
    bool stop_ = false;
    std::thread thread_;
};

// Waits for the job, letting the windows of the program repaint (but taking
// no input) once it lasts; false when the deadline passed first.
bool waitFor(Job& job, QDeadlineTimer deadline)
{
    const QCoreApplication* application = QCoreApplication::instance();
    const bool onWindowThread = application && QThread::currentThread() == application->thread();
    const QDeadlineTimer quiet(quietMs);
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (job.waitFor(left < 0 ? sliceMs : static_cast<int>(std::min<qint64>(left, sliceMs))))
            return true;
        if (deadline.hasExpired())
            return false;
        if (onWindowThread && quiet.hasExpired())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

OfficeLink::OfficeLink(Reference<css::connection::XConnection> connection, Reference<css::lang::XComponent> bridge,
                       qint64 officePid, int callTimeoutMs, int documentTimeoutMs)
    : connection_(std::move(connection))
    , bridge_(std::move(bridge))
    , officePid_(officePid)
    , callTimeoutMs_(callTimeoutMs)
    , documentTimeoutMs_(documentTimeoutMs)
{
}

OfficeLink::~OfficeLink() = default;

void OfficeLink::cut()
{
    cut_ = true;
    // Ending the office closes its end of the pipe; closing ours as well
    // covers an office this program did not start. Closing the pipe is what
    // releases the waiting call: the bridge then fails every call under way.
    if (officePid_ != 0)
        platform::killProcess(officePid_);
    try {
        connection_->close();
    } catch (const css::uno::Exception&) {
    }
    try {
        bridge_->dispose();
    } catch (const css::uno::Exception&) {
    }
}

void OfficeLink::run(const QString& what, int timeoutMs, const std::function<void()>& task)
{
    if (cut_)
        throwConnectionLost(what);
    CallThread& thread = CallThread::instance();
    if (thread.isCurrent()) {
        // A call made while the office calls back into this program.
        task();
        return;
    }
    auto job = std::make_shared<Job>(task);
    thread.post(job);
    if (!waitFor(*job, QDeadlineTimer(timeoutMs))) {
        cut();
        // With the bridge gone the call ends at once; it must end before the
        // caller's frame goes away.
        waitFor(*job, QDeadlineTimer(QDeadlineTimer::Forever));
        throw Error(QStringLiteral("%1: LibreOffice did not answer within %2 s and was let go")
                        .arg(what)
                        .arg(timeoutMs / 1000.0),
                    Error::Operation::Gone);
    }
    if (job->error())
        std::rethrow_exception(job->error());
}

} // namespace spreadsheet::uno
