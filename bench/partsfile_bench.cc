// The parts file writer and decoder at full scale: 2048 sizes with their
// member lists, sorted in each mode, written, read back whole and decoded, and
// each size's list found by name as the listing finds it. Each benchmark
// reports items_per_second and per_item over the member entries of the file,
// and the file's size in bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "item_counters.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "storage/file_sinks.h"
#include "partsfile/parts_layout.h"

namespace partsc {
namespace {

constexpr int kSpecsPerSize = 4;
constexpr int kParamsPerSize = 8;
constexpr int kMembers = kMaxSizes * (kSpecsPerSize + kParamsPerSize);

// 2048 sizes with names drawn at random, each with the same member list.
PartsModel FullModel(int sortMode) {
  std::mt19937 random(7);
  PartsModel model;
  MemberList members;
  for (int i = 0; i < kSpecsPerSize; ++i) {
    members.specs.push_back({static_cast<uint16_t>(i + 1), 0, static_cast<uint16_t>(i % 2),
                             "SPECNAME"});
  }
  for (int i = 0; i < kParamsPerSize; ++i) {
    members.params.push_back({"PARAM", 10, "a parameter text of some length", "a comment"});
  }
  for (int i = 0; i < kMaxSizes; ++i) {
    PartsSize& size = model.sizes.emplace_back();
    // Appended piece by piece: g++ 12 at -O3 warns that `"S" + std::to_string(n)`
    // may copy overlapping bytes (a false positive of its -Wrestrict).
    std::string name = "S";
    name += std::to_string(random());
    name += '_';
    name += std::to_string(i);
    size.record.name.AssignCut(name);
    size.record.title.AssignCut("title of a size");
    size.members = members;
  }
  model.header.sizeCount = kMaxSizes;
  model.header.sortMode = static_cast<int16_t>(sortMode);
  model.header.version = kPartsVersion;
  model.header.comment.AssignCut("benchmark");
  model.apgNames[0].AssignCut("VIEW");
  return model;
}

// Writes the model as a compile does: the header and views, each size's
// list in turn, then the size records in the order of the sort mode.
int WriteFullFile(PartsModel model, const std::string& path) {
  PartsFileSink sink;
  PartsEncoder encoder(sink);
  bool written = sink.Open(path).Ok() && encoder.WriteHeader(model.header).Ok() &&
                 encoder.WriteApgList(model.header, model.apgNames, model.apgComments).Ok();
  encoder.BeginMemberLists(model.header);
  for (PartsSize& size : model.sizes) {
    const ListWritten list = encoder.WriteMemberList(size.members);
    written = written && list.Ok();
    size.record.memberOffset = list.Ok() ? list.offset : 0;
  }
  const int sortMode = model.header.sortMode;
  if (sortMode < kSortAsWritten) {
    std::stable_sort(model.sizes.begin(), model.sizes.end(), [sortMode](const auto& a, const auto& b) {
      return CompareSizeNames(sortMode, a.record.name.View(), b.record.name.View()) < 0;
    });
  }
  written = written && encoder.WriteSizeList(model.header, model.sizes).Ok();
  sink.Release();
  return written ? 0 : 1;
}

int ReadFullFile(const std::string& path) {
  OvFileBytes bytes;
  int result = static_cast<int>(ReadPartsFileBytes(path, bytes).status);
  if (result != 0) {
    return result;
  }
  const PartsModel model = DecodePartsFile(bytes.View());
  result = static_cast<int>(model.read.result);
  for (size_t i = 0; result == 0 && i < model.sizes.size(); ++i) {
    const std::optional<size_t> slot = FindSizeRecord(model, model.sizes[i].record.name.View());
    result = static_cast<int>(slot ? model.sizes[*slot].membersResult : ReadStatus::kSizeNotFound);
  }
  return result;
}

// A parts file in the temporary directory, removed with its backup.
class TempPartsFile {
 public:
  explicit TempPartsFile(const char* name)
      : path_((std::filesystem::temp_directory_path() / name).string()) {}
  TempPartsFile(const TempPartsFile&) = delete;
  TempPartsFile& operator=(const TempPartsFile&) = delete;
  ~TempPartsFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    std::filesystem::remove(path_ + ".old", ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void CountMembers(benchmark::State& state, const std::string& path) {
  bench::CountItems(state, kMembers);
  std::error_code error;
  const auto bytes = std::filesystem::file_size(path, error);
  state.counters["file_bytes"] = error ? 0.0 : static_cast<double>(bytes);
}

void BM_WriteFullFile(benchmark::State& state, int sortMode) {
  const TempPartsFile file("partsc-bench-write.prt");
  const PartsModel model = FullModel(sortMode);
  for (auto _ : state) {
    if (const int result = WriteFullFile(model, file.Path()); result != 0) {
      state.SkipWithError(("write failed: " + std::to_string(result)).c_str());
      break;
    }
  }
  CountMembers(state, file.Path());
}
BENCHMARK_CAPTURE(BM_WriteFullFile, length_order, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteFullFile, byte_order, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteFullFile, source_order, 2)->Unit(benchmark::kMillisecond);

// The file is read back whole and decoded, and one search made per size.
void BM_ReadFullFile(benchmark::State& state, int sortMode) {
  const TempPartsFile file("partsc-bench-read.prt");
  if (const int result = WriteFullFile(FullModel(sortMode), file.Path()); result != 0) {
    state.SkipWithError(("write failed: " + std::to_string(result)).c_str());
    return;
  }
  for (auto _ : state) {
    if (const int result = ReadFullFile(file.Path()); result != 0) {
      state.SkipWithError(("read failed: " + std::to_string(result)).c_str());
      break;
    }
  }
  CountMembers(state, file.Path());
}
BENCHMARK_CAPTURE(BM_ReadFullFile, length_order, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFullFile, byte_order, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFullFile, source_order, 2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace partsc
