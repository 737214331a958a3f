#include "support/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace partsc::testing {

TempDir::TempDir() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/partsc-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

ScopedChdir::ScopedChdir(const std::string& dir) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

int16_t I16At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes.at(offset)) |
         (static_cast<uint32_t>(bytes.at(offset + 1)) << 8) |
         (static_cast<uint32_t>(bytes.at(offset + 2)) << 16) |
         (static_cast<uint32_t>(bytes.at(offset + 3)) << 24);
}

int32_t I32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int32_t>(U32At(bytes, offset));
}

CaptureFd::CaptureFd(int fd) : fd_(fd) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/partsc-capture-XXXXXX";
  const int tmp = mkstemp(pattern.data());
  if (tmp < 0) {
    throw std::runtime_error("mkstemp failed");
  }
  file_ = pattern;
  std::fflush(nullptr);
  saved_ = dup(fd_);
  dup2(tmp, fd_);
  close(tmp);
}

CaptureFd::~CaptureFd() {
  std::fflush(nullptr);
  dup2(saved_, fd_);
  close(saved_);
  std::remove(file_.c_str());
}

std::string CaptureFd::Text() {
  std::fflush(nullptr);
  return ReadFile(file_);
}

}  // namespace partsc::testing
