// The bytes of a parts file turned into its model: no file, no state, the
// same bytes give the same model.
#pragma once

#include <partsc/model.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace partsc {

// Reads `bytes` as a parts file, part by part, as a reader of the file would:
// the header (refused when its version is not 102), the APG names (refused
// when every one is empty) and comments, the size records, the common member
// list, the member list of each size record, and last the member lists no
// record points to, found by walking the member-list area from its start to
// the end of the file. What could not be read, and why, is in `read`.
// A spec or param list holds at most 256 spec entries and 512 param
// entries, those of the common list included. Each size record and each
// entry counts as one allocation for the test seam.
PartsModel DecodePartsFile(std::string_view bytes);

// The model without the sizes' member lists, for a reader that takes one at
// a time: the header, the views, the size records (each with empty members
// and a membersResult of 0), and the common list; `read` tells how far these
// parts were read. No list no record points to is looked for.
PartsModel DecodePartsOutline(std::string_view bytes);

// The model DecodePartsFile gives, but with every size's member list left
// empty, for a reader that takes one at a time: each list is still read
// through, without keeping its entries, for its membersResult, for `read`
// and to find the lists no record points to, which are kept.
PartsModel DecodePartsFrame(std::string_view bytes);

// A member list read as the file holds it, for a reader that only looks at
// it: each entry's texts are views of the file's bytes.
struct SpecView {
  uint16_t number = 0;
  uint16_t invertedFlag = 0;
  uint16_t record = 0;
  std::string_view name;
};
struct ParamView {
  std::string_view name;
  int16_t pairCode = 0;
  std::string_view text;
  std::string_view comment;
};
struct MemberViews {
  std::vector<SpecView> specs;
  std::vector<ParamView> params;
};

// Reads the member list of size `slot` of `outline` from `bytes` into
// `members`, over the entries it holds, as DecodePartsFile reads it, each
// text a view of `bytes`, which must outlive them: kOk or the read result,
// `members` then holding the entries read before the failure.
ReadStatus ViewSizeMembers(std::string_view bytes, const PartsModel& outline, size_t slot,
                           MemberViews& members);

// The slot in `model.sizes` of the size record of that name, as the reader
// finds it: a binary search over the records of sort modes 0 and 1, which
// assumes them in their order; the first record of the name in any other
// mode. None when the search finds none.
std::optional<size_t> FindSizeRecord(const PartsModel& model, std::string_view name);

// Why reading `part` stopped with `result`, in the words the listing and the
// JSON document give ("truncated size list", "no view defined").
std::string ReadReason(PartsPart part, ReadStatus result);

}  // namespace partsc
