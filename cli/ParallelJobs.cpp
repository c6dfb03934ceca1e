#include "cli/ParallelJobs.h"

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/common/ParallelParts.h"

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
                   const std::function<void(const CString&)>& job) {
    if (jobs <= 1) {
        for (const CString& file : files)
            job(file);
        return;
    }
    // Every occurrence of one path forms one unit of work, in the given order.
    std::vector<std::vector<size_t>> units;
    {
        std::unordered_map<std::string, size_t> unitOfPath;
        for (size_t i = 0; i < files.size(); ++i) {
            const auto [at, added] = unitOfPath.emplace(files[i].GetString(), units.size());
            if (added)
                units.emplace_back();
            units[at->second].push_back(i);
        }
    }

    std::atomic<size_t> nextUnit{0};
    auto work = [&] {
        for (size_t unit = nextUnit++; unit < units.size(); unit = nextUnit++) {
            for (size_t index : units[unit])
                job(files[index]);
        }
    };
    const unsigned threads = jobs < units.size() ? jobs : static_cast<unsigned>(units.size());
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
}
