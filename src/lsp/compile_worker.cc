#include "lsp/compile_worker.h"

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
    if (waiting_.find(key) == waiting_.end()) {
      order_.push_back(key);
    }
    waiting_[key] = std::move(work);
  }
  wake_.notify_one();
}

void CompileWorker::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
    order_.clear();
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
      wake_.wait(lock, [this] { return stopping_ || !order_.empty(); });
      if (stopping_) {
        return;
      }
      const std::string key = order_.front();
      order_.pop_front();
      work = std::move(waiting_[key]);
      waiting_.erase(key);
    }
    work();
  }
}

}  // namespace partsc::lsp
