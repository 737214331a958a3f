// The rule for a good parts file, on its model: what a reader needs to list
// a file whole and find every size's member list.
#pragma once

#include <partsc/model.h>

#include <string>
#include <vector>

namespace partsc {

// Every problem of `model`, in document order:
// - it was read whole, if it was read from a file;
// - the version is 102, and a view has an APG name; no view has a comment
//   without a name or the name of another view;
// - the counts agree with what is there: size_count with the sizes (at most
//   2048), apg_comment_count with the comments, common_offset with the
//   common list;
// - the sizes are in the order of the sort mode (0, 1 or 2), their names
//   not empty and each used once, and every size has a member list;
// - every number is in its range: a spec's number 1 to 256, its record 0 to
//   256, its inverted flag 0 or 1, a param's pair code 0, 1, 10 or 11;
// - every text fits its field in bytes, as a source gives it: a spec name 1
//   to 63, a param name 1 to 6, a text up to 64 (never empty where the pair
//   code needs one), a comment up to 63;
// - no list holds more than 256 spec or 512 param entries with those of the
//   common list;
// - the member lists lie end to end from the start of the member-list area.
std::vector<ModelProblem> StructuralProblems(const PartsModel& model);

}  // namespace partsc
