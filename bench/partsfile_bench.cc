// Figures of the parts file writer and decoder at full scale: 2048 sizes with
// their member lists, sorted in each mode, written, read back whole and
// decoded, and each size's list found by name as the listing finds it. Prints one line per figure;
// there is nothing to pass or fail.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "partsfile/parts_decoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_tables.h"
#include "partsfile/parts_writer.h"

namespace partsc {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSpecsPerSize = 4;
constexpr int kParamsPerSize = 8;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Report(const char* what, int operations, double milliseconds) {
  std::printf("%-44s %8d ops %10.3f ms %10.1f ns/op\n", what, operations, milliseconds,
              milliseconds * 1e6 / operations);
}

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

}  // namespace
}  // namespace partsc

int main() {
  using namespace partsc;
  const std::string path = (std::filesystem::temp_directory_path() / "partsc-bench.prt").string();
  const int members = kMaxSizes * (kSpecsPerSize + kParamsPerSize);
  const char* labels[] = {"write 2048 sizes, length order (LSORT)",
                          "write 2048 sizes, byte order (CSORT)",
                          "write 2048 sizes, source order (NSORT)"};
  const auto state = std::make_unique<PartsFileState>();
  for (int mode = 0; mode < 3; ++mode) {
    auto start = Clock::now();
    if (const int result = WriteFullFile(*state, path, mode); result != 0) {
      std::printf("write failed: %d\n", result);
      return 1;
    }
    Report(labels[mode], members, MillisecondsSince(start));
    start = Clock::now();
    if (const int result = ReadFullFile(path); result != 0) {
      std::printf("read failed: %d\n", result);
      return 1;
    }
    Report("  read back and decoded, one search per size", members, MillisecondsSince(start));
  }
  std::printf("%-44s %8ju bytes\n", "parts file size", std::filesystem::file_size(path));
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".old");
  return 0;
}
