// Random edits of real models: each edited model is either refused by the
// rule for a good parts file, or gives a file that lists whole, decompiles,
// and compiles back from the recovered source to the same bytes.
#include <partsc/partsc.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "decompiler/decompile.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

// Texts that a source holds, cannot hold, or holds only in some fields.
const std::vector<std::string> kTexts = {"",
                                         "A",
                                         "M8",
                                         "x y",
                                         " lead",
                                         "trail ",
                                         "a\"b",
                                         "a!b",
                                         "(x)",
                                         "a)b",
                                         "{M}",
                                         "<1,2>",
                                         "[3]",
                                         "\t",
                                         "caf\xC3\xA9",
                                         "\xE9t\xE9",
                                         std::string(31, 'n'),
                                         std::string(32, 'n'),
                                         std::string(63, 'c'),
                                         std::string(64, 't'),
                                         std::string(65, 't')};

class Editor {
 public:
  explicit Editor(unsigned seed) : random_(seed) {}

  size_t Pick(size_t count) { return count == 0 ? 0 : random_() % count; }
  const std::string& Text() { return kTexts[Pick(kTexts.size())]; }
  int Number(int low, int high) { return low + static_cast<int>(Pick(high - low + 1)); }

  // A member list of the model: the common one or a size's.
  MemberList* List(PartsModel& model) {
    if (model.sizes.empty() || (model.common && Pick(4) == 0)) {
      return model.common ? &*model.common : nullptr;
    }
    return &model.sizes[Pick(model.sizes.size())].members;
  }

  void Edit(PartsModel& model) {
    MemberList* list = List(model);
    std::vector<PartsSize>& sizes = model.sizes;
    switch (Pick(12)) {
      case 0:  // a size added, a copy of another under a new name
        if (!sizes.empty()) {
          PartsSize size = sizes[Pick(sizes.size())];
          size.record.name.AssignCut(Text());
          size.record.memberOffset = Pick(2) == 0 ? 0 : size.record.memberOffset;
          sizes.insert(sizes.begin() + static_cast<long>(Pick(sizes.size() + 1)), size);
        }
        break;
      case 1:  // a size removed
        if (!sizes.empty()) {
          sizes.erase(sizes.begin() + static_cast<long>(Pick(sizes.size())));
        }
        break;
      case 2:  // two sizes swapped
        if (!sizes.empty()) {
          std::swap(sizes[Pick(sizes.size())], sizes[Pick(sizes.size())]);
        }
        break;
      case 3:  // a member copied, or removed
        if (list != nullptr && !list->params.empty()) {
          const size_t at = Pick(list->params.size());
          Pick(2) == 0 ? (void)list->params.push_back(list->params[at])
                       : (void)list->params.erase(list->params.begin() + static_cast<long>(at));
        } else if (list != nullptr && !list->specs.empty()) {
          list->specs.push_back(list->specs[Pick(list->specs.size())]);
        }
        break;
      case 4:  // two params swapped
        if (list != nullptr && !list->params.empty()) {
          std::swap(list->params[Pick(list->params.size())],
                    list->params[Pick(list->params.size())]);
        }
        break;
      case 5:  // a param's texts
        if (list != nullptr && !list->params.empty()) {
          ParamEntry& param = list->params[Pick(list->params.size())];
          (Pick(3) == 0 ? param.name : Pick(2) == 0 ? param.text : param.comment) = Text();
        }
        break;
      case 6:  // a param's pair code, a spec's numbers and name
        if (list != nullptr && !list->params.empty()) {
          list->params[Pick(list->params.size())].pairCode = static_cast<int16_t>(Number(0, 12));
        }
        if (list != nullptr && !list->specs.empty()) {
          SpecEntry& spec = list->specs[Pick(list->specs.size())];
          spec.number = static_cast<uint16_t>(Number(0, 300));
          spec.record = static_cast<uint16_t>(Number(0, 260));
          spec.invertedFlag = static_cast<uint16_t>(Number(0, 2));
          spec.name = Pick(2) == 0 ? spec.name : Text();
        }
        break;
      case 7:  // a size's name or title
        if (!sizes.empty()) {
          SizeRecord& record = sizes[Pick(sizes.size())].record;
          (Pick(2) == 0 ? record.name : record.title).AssignCut(Text());
        }
        break;
      case 8:  // a view's name or comment
        (Pick(2) == 0 ? model.apgNames : model.apgComments)[Pick(6)].AssignCut(Text());
        break;
      case 9:  // the header's texts and numbers
        (Pick(2) == 0 ? model.header.comment : model.header.title).AssignCut(Text());
        model.header.sortMode =
            static_cast<int16_t>(Pick(3) == 0 ? Number(0, 3) : model.header.sortMode);
        model.header.specRecord = static_cast<int16_t>(Number(-2, 300));
        break;
      case 10:  // the counts
        model.header.sizeCount = static_cast<int16_t>(model.header.sizeCount + Number(-1, 1));
        model.header.apgCommentCount = static_cast<int16_t>(Number(0, 6));
        break;
      default:  // the counts made right, as a careful editor does
        model.header.sizeCount = static_cast<int16_t>(sizes.size());
        break;
    }
  }

 private:
  std::mt19937 random_;
};

TEST(ModelProperty, AnEditedModelIsRefusedOrComesBackWhole) {
  TempDir dir;
  std::vector<PartsModel> models;
  for (const auto& entry : fs::directory_iterator(fs::path(PARTSC_SOURCE_DIR) / "examples/src")) {
    const CompileResult compiled = CompileFile(entry.path().string());
    if (compiled.Compiled() && Validate(compiled.model).empty()) {
      models.push_back(compiled.model);
    }
  }
  ASSERT_GE(models.size(), 3u);
  Editor editor(2028);
  int taken = 0;
  int refused = 0;
  for (int round = 0; round < 600; ++round) {
    PartsModel model = models[editor.Pick(models.size())];
    for (size_t edits = 1 + editor.Pick(3); edits > 0; --edits) {
      editor.Edit(model);
    }
    if (editor.Pick(3) != 0) {
      PlaceMemberLists(model);
    }
    const std::string path = dir.File("edit.prt");
    if (!Validate(model, path).empty()) {
      ++refused;
      continue;
    }
    ++taken;
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string bytes = EncodePartsFile(model).bytes;
    WriteFile(path, bytes);
    const ReadResult read = ReadPartsFile(path);
    ASSERT_EQ(read.model, model);
    ASSERT_EQ(ListModel(read.model, path).status, ListStatus::kListed);
    const Decompiled decompiled = DecompilePartsFile(path);
    ASSERT_TRUE(decompiled.Ok()) << decompiled.reason;
    const CompileResult again = CompileText(decompiled.source, dir.File("edit.src"));
    ASSERT_TRUE(again.Compiled());
    // The same bytes but for the creation date.
    ASSERT_EQ(again.bytes.size(), bytes.size());
    EXPECT_EQ(again.bytes.substr(12), bytes.substr(12));
    EXPECT_EQ(again.bytes.substr(0, 2), bytes.substr(0, 2));
  }
  std::cout << "taken " << taken << ", refused " << refused << "\n";
  EXPECT_GT(taken, 100);
  EXPECT_GT(refused, 100);
}

}  // namespace
}  // namespace partsc::testing
