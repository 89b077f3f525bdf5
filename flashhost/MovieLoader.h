#pragma once
// Reads, decompresses and parses a movie file on a worker thread, so that a large or hostile
// file never holds up the window. One load at a time: starting another or cancelling drops
// the one under way (its result is never delivered). Results arrive on the loader's thread
// through the signals below.

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace swf::movie {
class Movie;
}

namespace orvane {

class MovieLoader : public QObject {
    Q_OBJECT
public:
    explicit MovieLoader(QObject* parent = nullptr);
    // Cancels what is under way and waits for the workers to end.
    ~MovieLoader() override;

    // `expectedBytes` is the decompressed size the header declares, for progress only.
    void start(const QString& file, std::uint64_t expectedBytes);
    void cancel();
    bool busy() const { return m_busy; }
    // The parsed movie of the last `loaded` signal; the receiver takes it.
    std::unique_ptr<swf::movie::Movie> takeMovie();

signals:
    void progress(int percentDone);
    void loaded();
    void failed(const QString& reason);

private:
    struct Job;
    void deliver(const std::shared_ptr<Job>& job);
    void reapFinished();

    std::shared_ptr<Job> m_job;
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> m_workers;
    std::unique_ptr<swf::movie::Movie> m_movie;
    bool m_busy = false;
};

} // namespace orvane
