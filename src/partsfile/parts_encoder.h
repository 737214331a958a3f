// A model turned into the bytes of its parts file.
#pragma once

#include <partsc/model.h>

#include <string>

namespace partsc {

// Why the member lists of `model` cannot be written as they stand; empty
// when they fill the member-list area end to end (in any order, with no gap
// and no overlap), as in every file the writer writes. The area starts after
// the size records of `model.sizes`; the lists are the common list at
// header.commonOffset, each size's list at its memberOffset (none when that
// is 0) and every unlisted list at its offset.
std::string ListLayoutProblem(const PartsModel& model);

// Lays the member lists end to end from the start of the member-list area,
// in the order they stand in now (by offset; among equal offsets the common
// list, then the sizes' lists in record order, then the unlisted ones), and
// sets header.commonOffset, every memberOffset and every unlisted offset to
// match; a size gets a list even where its memberOffset was 0. After an
// entry has been added, removed or changed, the model encodes again.
void PlaceMemberLists(PartsModel& model);

// The bytes of the parts file of `model`, byte for byte what the writer
// writes for the same records: the header, the APG names, the APG comments
// when header.apgCommentCount is not 0, the size records in their order, and
// every member list where the model places it. Every field is written as
// the model holds it (header.sizeCount, commonOffset and apgCommentCount
// included); the reserved bytes and the bytes after a text are zero. False,
// and `bytes` empty, when ListLayoutProblem names a problem.
bool EncodePartsFile(const PartsModel& model, std::string& bytes);

}  // namespace partsc
