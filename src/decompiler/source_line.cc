#include "decompiler/source_line.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

#include "compiler/tokenizer.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// True when a parenthesis field holds more "(" than ")": it can only stand
// last on its line, left open.
bool OpensMore(std::string_view text) {
  return std::count(text.begin(), text.end(), '(') > std::count(text.begin(), text.end(), ')');
}

// What stands on a line for one field, or for two fields that overlap: the
// written text (closed) and where each field's opening character stands in it.
struct Piece {
  std::string text;
  std::vector<std::pair<size_t, char>> starts;
  bool mustStayOpen = false;  // only last on its line, without its closing
};

Piece FieldPiece(const Field& field) {
  Piece piece;
  piece.text = field.open + field.text + ClosingDelimiter(field.open);
  piece.starts.emplace_back(0, field.open);
  piece.mustStayOpen = field.open == '(' && OpensMore(field.text);
  return piece;
}

// Two fields each holding the other's opening character ('"' and '!') can
// still be read back when they overlap: the second begins at the one opening
// character inside the first and runs past the first's closing one, as in
// !a"b !c" (first a"b, second b !c; the blank that ends the first is trimmed
// from it). Null when the texts do not allow it.
std::optional<Piece> OverlapPiece(const Field& first, const Field& second) {
  const size_t split = first.text.find(second.open);
  if (split == std::string::npos || first.text.find(second.open, split + 1) != std::string::npos) {
    return std::nullopt;
  }
  std::string_view inside = std::string_view(first.text).substr(split + 1);
  while (!inside.empty() && OvStringUtil::IsBlank(inside.front())) {
    inside.remove_prefix(1);
  }
  const std::string_view text = second.text;
  if (text.substr(0, inside.size()) != inside) {
    return std::nullopt;
  }
  size_t close = inside.size();
  while (!inside.empty() && close < text.size() && OvStringUtil::IsBlank(text[close])) {
    ++close;
  }
  if (close >= text.size() || text[close] != first.open) {
    return std::nullopt;
  }
  Piece piece;
  piece.text = first.open + first.text +
               std::string(text.substr(inside.size(), close - inside.size())) + first.open +
               std::string(text.substr(close + 1)) + second.open;
  piece.starts = {{0, first.open}, {1 + split, second.open}};
  return piece;
}

// Writes the pieces in `order` after the keyword; false when a field would
// not be found at its own opening character.
bool Arrange(std::string_view keyword, const std::vector<Piece>& pieces,
             const std::vector<size_t>& order, std::string_view absentOpens, bool compact,
             bool leaveLastOpen, std::string& line) {
  line.assign(keyword);
  std::vector<std::pair<size_t, char>> starts;
  for (size_t k = 0; k < order.size(); ++k) {
    const Piece& piece = pieces[order[k]];
    const bool open = leaveLastOpen && k + 1 == order.size();
    if (piece.mustStayOpen && !open) {
      return false;
    }
    if (!compact) {
      line += ' ';
    }
    for (const auto& [at, opening] : piece.starts) {
      starts.emplace_back(line.size() + at, opening);
    }
    line += open ? std::string_view(piece.text).substr(0, piece.text.size() - 1) : piece.text;
  }
  for (const auto& [at, opening] : starts) {
    if (line.find(opening) != at) {
      return false;
    }
  }
  return std::none_of(absentOpens.begin(), absentOpens.end(),
                      [&line](char opening) { return line.find(opening) != std::string::npos; });
}

// The ways to cut the written fields into pieces: each field on its own, and
// where a quote field and an exclamation field each hold the other's opening
// character, the two overlapped either way round.
std::vector<std::vector<Piece>> Cuttings(const std::vector<Field>& written) {
  std::vector<Piece> single;
  for (const Field& field : written) {
    single.push_back(FieldPiece(field));
  }
  std::vector<std::vector<Piece>> cuttings = {single};
  for (size_t i = 0; i < written.size(); ++i) {
    for (size_t j = 0; j < written.size(); ++j) {
      const Field& first = written[i];
      const Field& second = written[j];
      const bool pair =
          (first.open == '"' && second.open == '!') || (first.open == '!' && second.open == '"');
      const std::optional<Piece> overlap = pair ? OverlapPiece(first, second) : std::nullopt;
      if (!overlap) {
        continue;
      }
      // The overlap takes the first field's place; the second's goes.
      std::vector<Piece> cutting = single;
      cutting[i] = *overlap;
      cutting.erase(cutting.begin() + static_cast<std::ptrdiff_t>(j));
      cuttings.push_back(std::move(cutting));
    }
  }
  return cuttings;
}

// The keyword and the fields in the first order in which every field reads
// back and the line keeps within `limit`; the order given is tried first.
// Compact lines have no blanks between the fields. A quote field and an
// exclamation field that each hold the other's opening character may
// overlap, as the compiler reads them.
PlacedLine LayOut(std::string_view keyword, const std::vector<Field>& fields, bool compact,
                  size_t limit) {
  // A field left out is written empty, in its place, when its opening
  // character occurs elsewhere on the line.
  auto occurs = [&keyword, &fields](char open) {
    return keyword.find(open) != std::string_view::npos ||
           std::any_of(fields.begin(), fields.end(), [open](const Field& other) {
             return other.given && other.text.find(open) != std::string::npos;
           });
  };
  std::vector<Field> written;
  std::string absentOpens;
  for (const Field& field : fields) {
    if (field.given) {
      written.push_back(field);
    } else if (occurs(field.open)) {
      written.push_back(Field{field.open, {}, true});
    } else {
      absentOpens += field.open;
    }
  }
  bool anyOrder = false;
  std::string candidate;
  for (const std::vector<Piece>& pieces : Cuttings(written)) {
    std::vector<size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), 0);
    do {
      for (const bool leaveLastOpen : {false, true}) {
        if (!Arrange(keyword, pieces, order, absentOpens, compact, leaveLastOpen, candidate)) {
          continue;
        }
        anyOrder = true;
        if (candidate.size() <= limit) {
          return {Fit::kFits, candidate};
        }
      }
    } while (std::next_permutation(order.begin(), order.end()));
  }
  return {anyOrder ? Fit::kTooLong : Fit::kNoOrder, {}};
}

// A list item that the tokenizer reads as `value`, a non-zero 16-bit number:
// plain decimal, or when compact the shortest equivalent (the low 16 bits of
// the integer part are what counts: 65535 gives -1, and 3e4 is 30000).
std::string ShortNumber(int32_t value, bool compact) {
  std::string best = std::to_string(value);
  if (!compact) {
    return best;
  }
  for (const int64_t target : {int64_t{value}, int64_t{value} + 65536, int64_t{value} - 65536}) {
    std::vector<std::string> candidates = {std::to_string(target)};
    int64_t scale = 10;
    for (int exponent = 1; exponent <= 5; ++exponent, scale *= 10) {
      if (target % scale == 0) {
        candidates.push_back(std::to_string(target / scale) + "e" + std::to_string(exponent));
      }
    }
    for (const std::string& candidate : candidates) {
      const std::optional<double> number =
          OvStringUtil::ParseDouble(candidate, NumberTrim::kTrimFirst);
      const bool reads = number && *number != 0.0 && TruncateTo16Bits(*number) == value;
      if (reads && candidate.size() < best.size()) {
        best = candidate;
      }
    }
  }
  return best;
}

}  // namespace

std::optional<std::string> TextProblem(std::string_view text, char open, size_t limit, bool cut) {
  // A param text (a parenthesis field) may end with a blank at any length:
  // the cut before macro expansion can leave one (see TextInPlace).
  const bool anyLength = open == '(';
  if (text.size() > limit) {
    return "is longer than " + std::to_string(limit) + " characters";
  }
  if (text.find('\0') != std::string_view::npos) {
    return "holds a zero byte";
  }
  if (text.find('\n') != std::string_view::npos) {
    return "holds a line feed";
  }
  // The compiler would keep it, but an editor or git may take it, next to a
  // line end, for part of one: a source holds no raw carriage return.
  if (text.find('\r') != std::string_view::npos) {
    return "holds a carriage return";
  }
  const bool padded = cut && (text.size() == limit || anyLength);
  if (!text.empty() &&
      (OvStringUtil::IsBlank(text.front()) || (OvStringUtil::IsBlank(text.back()) && !padded))) {
    return "begins or ends with a blank or tab";
  }
  if (open == '"' && text.find('"') != std::string_view::npos) {
    return "holds a double quote";
  }
  if (open == '!' && text.find('!') != std::string_view::npos) {
    return "holds an exclamation mark";
  }
  return std::nullopt;
}

std::string Padded(const std::string& text, size_t limit) {
  return text.size() == limit && !text.empty() && OvStringUtil::IsBlank(text.back()) ? text + "."
                                                                                     : text;
}

bool ClosesEarly(std::string_view text) {
  int depth = 1;
  for (const char c : text) {
    depth += c == '(' ? 1 : (c == ')' ? -1 : 0);
    if (depth == 0) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> EscapedText(std::string_view text) {
  // lowest[i]: how far the depth falls from i on, relative to the depth at i.
  std::vector<int> lowest(text.size() + 1, 0);
  for (size_t i = text.size(); i-- > 0;) {
    const int step = text[i] == '(' ? 1 : (text[i] == ')' ? -1 : 0);
    lowest[i] = std::min(0, step + lowest[i + 1]);
  }
  std::string written;
  int depth = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '{') {
      const int added = std::max(0, 1 - depth - lowest[i + 1]);
      written += '{';
      written.append(static_cast<size_t>(added), '(');
      written += '}';
      depth += added;
      continue;
    }
    written += c;
    depth += c == '(' ? 1 : (c == ')' ? -1 : 0);
    if (depth == 0) {
      return std::nullopt;
    }
  }
  return written;
}

PlacedLine PlaceLine(std::string_view keyword, const FieldsFor& fieldsFor) {
  // Whether compact, and within how many characters.
  constexpr std::array<std::pair<bool, size_t>, 3> kAttempts = {
      {{false, kCleanLineLimit}, {true, kCleanLineLimit}, {true, kSourceLineLimit}}};
  Fit result = Fit::kNoOrder;
  for (const auto& [compact, limit] : kAttempts) {
    PlacedLine placed = LayOut(keyword, fieldsFor(compact), compact, limit);
    if (placed.fit == Fit::kFits) {
      return placed;
    }
    if (placed.fit == Fit::kTooLong) {
      result = placed.fit;
    }
  }
  return {result, {}};
}

std::string NotPlaced(Fit fit) {
  return fit == Fit::kTooLong ? "does not fit on one line of 79 characters"
                              : "has fields that no order on its line reads back";
}

std::string NumberPair(int32_t first, int32_t second, bool compact) {
  std::string text = first != 0 ? ShortNumber(first, compact) : (compact ? "" : "0");
  if (second != 0 || !compact) {
    text += ",";
    text += second != 0 ? ShortNumber(second, compact) : "0";
  }
  return text;
}

}  // namespace partsc
