// What changed from one parts file to another (the calls of <partsc/diff.h>,
// defined here): the header fields a source sets, the views, the sizes added,
// removed or retitled, the entries added, removed or changed in the common
// block and in each size, an entry known by its kind and name, and the
// member lists no size record points to; each in the lines of the listing,
// with what the listing leaves out of a line added to it.
#pragma once

#include <partsc/diff.h>
#include <partsc/model.h>

#include <string>
#include <vector>

namespace partsc {

// DiffModels, where a side may be missing (null): git's /dev/null. Every
// field of the side that is there is then added or removed.
std::vector<Change> ChangesBetween(const PartsModel* from, const PartsModel* to);

// The lines DiffModels compares, as a text a line each: the header fields,
// "$$APG" and the views, "$$COMMON" and its entries, each size with its
// entries, the lists no size record points to, and "$$END"; for a file not
// read whole, last a line "/ READING STOPPED: REASON". Neither the file's
// path nor its creation date is in it, so that it changes only when what a
// source sets changes. Bytes as DiffText shows them.
std::string ModelLines(const PartsModel& model, Latin1Bytes latin1);

// One line: "2 sizes added (M14, M16); M8: 1 entry changed; unlisted list 2
// added", or "no change".
std::string ChangeSummary(const std::vector<Change>& changes);

}  // namespace partsc
