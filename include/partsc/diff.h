// What changed from one parts file's model to another, as partsc --diff
// says it: every field of the model that a source sets, in the blocks of the
// listing, with the listing's lines and the JSON document's values.
//
//   #include <partsc/diff.h>
#pragma once

#include <partsc/export.h>
#include <partsc/model.h>

#include <string>
#include <vector>

namespace partsc {

enum class ChangeKind { kAdded, kRemoved, kChanged };

// One change. `block` is the block of the listing it is in: "$$PARTS" for a
// header field, "$$APG" for a view, "$$SIZE" for a size record, "$$COMMON"
// or `$$SIZE "M8"` for an entry (`size` then the size's name), "unlisted
// list 2" for the second member list no size record points to and its
// entries. `key` names what changed there: the header field ("$$TITLE",
// "sort", "version"), the view ("$TOP"), the size's name, the entry's name,
// or the block itself for a list no record points to that is added or
// removed whole. The lines are the listing's (none on the side where the
// thing is missing; a size added or removed has its member lines too), with
// the fields the listing leaves out added after a tab. The values are the
// JSON document's, as JSON texts: an object, a string, a number, or "null"
// on the side where the thing is missing.
struct Change {
  ChangeKind kind = ChangeKind::kChanged;
  std::string block;
  std::string size;
  std::string key;
  std::vector<std::string> oldLines;
  std::vector<std::string> newLines;
  std::string oldValue = "null";
  std::string newValue = "null";

  bool operator==(const Change&) const = default;
};

// The changes from `from` to `to`, block by block in listing order: header,
// views, sizes (those of `from` in its order, then the new ones), common
// entries, the entries of each size both models hold, then the lists no size
// record points to, the n-th of one model against the n-th of the other.
// Entries are known by their kind and name (the n-th of a name against the
// n-th). The creation date and what follows from the layout (offsets,
// counts) are not compared.
PARTSC_API std::vector<Change> DiffModels(const PartsModel& from, const PartsModel& to);

// How a text diff shows a line whose bytes are no UTF-8 text (a text of
// the file in Latin-1): each such byte as \xHH, or as the UTF-8 of the
// Latin-1 character. Control characters but the tab are always \xHH.
enum class Latin1Bytes { kEscaped, kUtf8 };

// The changes as diff -u shows lines: "--- OLD" and "+++ NEW", then per
// block "@@ BLOCK @@" and its "-" and "+" lines. Empty when there are none.
PARTSC_API std::string DiffText(const std::vector<Change>& changes, const std::string& oldName,
                                const std::string& newName,
                                Latin1Bytes latin1 = Latin1Bytes::kEscaped);

// The changes as one JSON document, one line without its line feed, of the
// shape of parts-diff.schema.json: {"format", "old", "new", "same",
// "changes": [{"change", "block", "size", "key", "old", "new"}]}.
PARTSC_API std::string DiffJson(const std::vector<Change>& changes, const std::string& oldName,
                                const std::string& newName);

}  // namespace partsc
