#include "lsp/compile_worker.h"

#include <algorithm>
#include <utility>

namespace partsc::lsp {

CompileWorker::CompileWorker(bool background) : background_(background) {
  if (background_) {
    thread_ = std::thread([this] { Run(); });
  }
}

void CompileWorker::Submit(const std::string& key, Work work) {
  if (!background_) {
    work();
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      return;
    }
    const auto same = std::ranges::find(waiting_, key, &std::pair<std::string, Work>::first);
    if (same == waiting_.end()) {
      waiting_.emplace_back(key, std::move(work));
    } else {
      same->second = std::move(work);
    }
  }
  wake_.notify_one();
}

void CompileWorker::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void CompileWorker::Run() {
  while (true) {
    Work work;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) {
        return;
      }
      work = std::move(waiting_.front().second);
      waiting_.pop_front();
    }
    work();
  }
}

}  // namespace partsc::lsp
