// Runs the compiles of documents one after the other, away from the thread
// that reads the client's messages. A compile submitted for a document that
// still waits for its turn replaces the one that waits.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace partsc::lsp {

class CompileWorker {
 public:
  using Work = std::function<void()>;

  // `background` false runs each work at once, on the thread that submits it.
  explicit CompileWorker(bool background);
  ~CompileWorker() { Stop(); }
  CompileWorker(const CompileWorker&) = delete;
  CompileWorker& operator=(const CompileWorker&) = delete;

  void Submit(const std::string& key, Work work);
  // Waits for the work that runs now; what still waits is dropped.
  void Stop();

 private:
  void Run();

  bool background_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<std::string, Work>> waiting_;  // by key, in the order the keys came
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace partsc::lsp
