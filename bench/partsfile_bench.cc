// The parts file writer and decoder at full scale: 2048 sizes with their
// member lists, sorted in each mode, written, read back whole and decoded, and
// each size's list found by name as the listing finds it. Each benchmark
// reports items_per_second and per_item over the member entries of the file,
// and the file's size in bytes.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "item_counters.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_tables.h"
#include "partsfile/parts_writer.h"

namespace partsc {
namespace {

constexpr int kSpecsPerSize = 4;
constexpr int kParamsPerSize = 8;
constexpr int kMembers = kMaxSizes * (kSpecsPerSize + kParamsPerSize);

void FillSizes(PartsFileState& state, std::mt19937& random) {
  for (int i = 0; i < kMaxSizes; ++i) {
    auto record = std::make_unique<SizeRecord>();
    // Appended piece by piece: g++ 12 at -O3 warns that `"S" + std::to_string(n)`
    // may copy overlapping bytes (a false positive of its -Wrestrict).
    std::string name = "S";
    name += std::to_string(random());
    name += '_';
    name += std::to_string(i);
    record->name.Assign(name);
    record->title.Assign("title of a size");
    state.sizeTable[static_cast<size_t>(i)] = std::move(record);
  }
  int32_t count = kMaxSizes;
  HeaderSizeCount(state, kStore, count);
}

void FillMembers(PartsFileState& state) {
  for (int i = 0; i < kSpecsPerSize; ++i) {
    auto entry = std::make_unique<SpecEntry>();
    *entry = {static_cast<uint16_t>(i + 1), 0, static_cast<uint16_t>(i % 2), "SPECNAME"};
    state.specTable[static_cast<size_t>(state.specCount++)] = std::move(entry);
  }
  for (int i = 0; i < kParamsPerSize; ++i) {
    auto entry = std::make_unique<ParamEntry>();
    *entry = {"PARAM", 10, "a parameter text of some length", "a comment"};
    state.paramTable[static_cast<size_t>(state.paramCount++)] = std::move(entry);
  }
}

int WriteFullFile(PartsFileState& state, const std::string& path, int sortMode) {
  std::mt19937 random(7);
  ClearTables(state);
  FillSizes(state, random);
  std::array<std::string, 6> names{"VIEW"};
  ApgNames(state, kStore, names);
  HeaderSortMode(state, kStore, sortMode);
  int32_t version = kPartsVersion;
  std::string comment = "benchmark";
  HeaderVersion(state, kStore, version, comment);
  PartsFileSink sink;
  PartsWriter writer(sink);
  int result = sink.Open(path);
  result = result != 0 ? result : writer.WriteHeader(state);
  result = result != 0 ? result : writer.WriteApgList(state);
  writer.BeginMemberLists();
  for (int i = 0; result == 0 && i < kMaxSizes; ++i) {
    FillMembers(state);
    std::string name;
    GetSizeName(state, i, name);
    result = writer.WriteMemberList(state, name);
    DropBlockEntries(state);
  }
  result = result != 0 ? result : writer.WriteSizeList(state);
  sink.Release();
  return result;
}

int ReadFullFile(const std::string& path) {
  PartsFileBytes bytes;
  int result = ReadPartsFileBytes(path, bytes);
  if (result != 0) {
    return result;
  }
  const PartsModel model = DecodePartsFile(bytes.View());
  result = model.read.result;
  for (size_t i = 0; result == 0 && i < model.sizes.size(); ++i) {
    const int slot = FindSizeRecord(model, model.sizes[i].record.name.View());
    result = slot < 0 ? kReadSizeNotFound : model.sizes[static_cast<size_t>(slot)].membersResult;
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
  const auto parts = std::make_unique<PartsFileState>();
  for (auto _ : state) {
    if (const int result = WriteFullFile(*parts, file.Path(), sortMode); result != 0) {
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
  if (const int result = WriteFullFile(*std::make_unique<PartsFileState>(), file.Path(), sortMode);
      result != 0) {
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
