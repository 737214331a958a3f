// What changed from one parts file to another, in the lines of the listing:
// the header fields a source sets, the views, the sizes added, removed or
// retitled, the entries added, removed or changed in the common block and in
// each size, an entry known by its kind and name, and the member lists no
// size record points to.
#pragma once

#include <partsc/model.h>

#include <string>
#include <vector>

#include "partsfile/parts_json.h"

namespace partsc {

enum class ChangeKind { kAdded, kRemoved, kChanged };

// One change. `block` is the block of the listing it is in: "$$PARTS" for a
// header field, "$$APG" for a view, "$$SIZE" for a size record, "$$COMMON"
// or `$$SIZE "M8"` for an entry (`size` then the size's name), "unlisted
// list 2" for the second member list no size record points to and its
// entries. `key` names what changed there: the header field ("$$TITLE",
// "sort", "version"), the view ("$TOP"), the size's name, the entry's name,
// or the block itself for a list no record points to that is added or
// removed whole. The lines are the
// listing's (none on the side where the thing is missing; a size added or
// removed has its member lines too); the values are the JSON document's
// (null on the side where the thing is missing).
struct Change {
  ChangeKind kind = ChangeKind::kChanged;
  std::string block;
  std::string size;
  std::string key;
  std::vector<std::string> oldLines;
  std::vector<std::string> newLines;
  Json oldValue;
  Json newValue;
};

// The changes from `from` to `to`, block by block in listing order: header,
// views, sizes (those of `from` in its order, then the new ones), common
// entries, the entries of each size both files hold, then the lists no size
// record points to, the n-th of one file against the n-th of the other. The
// creation date
// and what follows from the layout (offsets, counts) are not compared.
std::vector<Change> DiffModels(const PartsModel& from, const PartsModel& to);

// The changes as diff -u shows lines: "--- OLD" and "+++ NEW", then per
// block "@@ BLOCK @@" and its "-" and "+" lines. Empty when there are none.
std::string DiffText(const std::vector<Change>& changes, const std::string& oldName,
                     const std::string& newName);

// The changes as one JSON document: {"old", "new", "same", "changes": [...]}.
Json DiffJson(const std::vector<Change>& changes, const std::string& oldName,
              const std::string& newName);

// One line: "2 sizes added (M14, M16); M8: 1 entry changed; unlisted list 2
// added", or "no change".
std::string ChangeSummary(const std::vector<Change>& changes);

}  // namespace partsc
