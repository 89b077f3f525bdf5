#include "MovieLoader.h"

#include "swf/Player.h"
#include "swf/movie/Movie.h"

#include <algorithm>

namespace orvane {

struct MovieLoader::Job {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
    std::atomic<int> lastPercent{-1};
    std::unique_ptr<swf::movie::Movie> movie;
    std::string error;
};

MovieLoader::MovieLoader(QObject* parent) : QObject(parent) {}

MovieLoader::~MovieLoader() {
    cancel();
    for (auto& [job, worker] : m_workers)
        worker.join();
}

void MovieLoader::start(const QString& file, std::uint64_t expectedBytes) {
    cancel();
    reapFinished();
    auto job = std::make_shared<Job>();
    m_job = job;
    m_busy = true;
    const std::string path = file.toStdString();
    const double expected = double(std::max<std::uint64_t>(expectedBytes, 1));
    std::thread worker([this, job, path, expected] {
        job->movie = swf::Player::prepare(path, job->error, [this, job, expected](std::size_t produced) {
            const int percent = int(std::min(99.0, double(produced) * 100.0 / expected));
            if (percent != job->lastPercent.exchange(percent))
                QMetaObject::invokeMethod(
                    this, [this, job, percent] { if (job == m_job) emit progress(percent); }, Qt::QueuedConnection);
            return !job->cancelled.load();
        });
        job->done = true;
        // This object outlives every worker (its destructor joins them), so the call is safe.
        QMetaObject::invokeMethod(this, [this, job] { deliver(job); }, Qt::QueuedConnection);
    });
    m_workers.emplace_back(job, std::move(worker));
}

void MovieLoader::cancel() {
    if (m_job)
        m_job->cancelled = true;
    m_job.reset();
    m_busy = false;
}

std::unique_ptr<swf::movie::Movie> MovieLoader::takeMovie() {
    return std::move(m_movie);
}

void MovieLoader::deliver(const std::shared_ptr<Job>& job) {
    reapFinished();
    if (job != m_job)
        return; // cancelled or replaced: its result goes with it
    m_job.reset();
    m_busy = false;
    if (job->movie) {
        m_movie = std::move(job->movie);
        emit loaded();
    } else {
        emit failed(QString::fromStdString(job->error));
    }
}

void MovieLoader::reapFinished() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->first->done) {
            it->second.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace orvane
