#include "cli/ParallelJobs.h"

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/win32/ParallelParts.h"

unsigned DefaultJobCount(const std::vector<CString>& files) {
    const unsigned processors = static_cast<unsigned>(ProcessorCount());
    for (const CString& file : files) {
        struct stat info;
        if (::stat(file.GetString(), &info) == 0 &&
            static_cast<unsigned long long>(info.st_size) >= kSmallFileBytes) {
            return processors;
        }
    }
    return 4 * processors;
}

void RunInParallel(const std::vector<CString>& files, unsigned jobs,
                   const std::function<void(const CString&, const ShrinkReport&)>& report) {
    // Every occurrence of one path forms one unit of work, in the given order.
    std::vector<std::vector<size_t>> units;
    {
        std::map<std::string, size_t> unitOfPath;
        for (size_t i = 0; i < files.size(); ++i) {
            const auto [at, added] = unitOfPath.emplace(files[i].GetString(), units.size());
            if (added)
                units.emplace_back();
            units[at->second].push_back(i);
        }
    }

    std::vector<std::optional<ShrinkReport>> results(files.size());
    std::mutex mutex;
    std::condition_variable done;
    std::atomic<size_t> nextUnit{0};
    auto work = [&] {
        for (size_t unit = nextUnit++; unit < units.size(); unit = nextUnit++) {
            for (size_t index : units[unit]) {
                ShrinkReport result = ShrinkFileWithReport(files[index]);
                std::lock_guard<std::mutex> lock(mutex);
                results[index] = std::move(result);
                done.notify_one();
            }
        }
    };

    const unsigned threads = jobs < units.size() ? jobs : static_cast<unsigned>(units.size());
    std::vector<std::thread> workers;
    if (threads > 1) {
        for (unsigned t = 0; t < threads; ++t)
            workers.emplace_back(work);
    } else {
        work();
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [&] { return results[i].has_value(); });
        const ShrinkReport result = *results[i];
        lock.unlock();
        report(files[i], result);
    }
    for (std::thread& worker : workers)
        worker.join();
}
