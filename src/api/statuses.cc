#include "api/statuses.h"

#include <algorithm>
#include <array>
#include <utility>

#include "diagnostics/catalogue.h"

namespace partsc {
namespace {

// The value `from` maps to in `table`, else `otherwise`.
template <typename From, typename To, size_t N>
To Mapped(const std::array<std::pair<From, To>, N>& table, From from, To otherwise) {
  const auto found = std::ranges::find(table, from, &std::pair<From, To>::first);
  return found == table.end() ? otherwise : found->second;
}

constexpr std::array<std::pair<CompileStatus, CompileEnd>, 11> kCompileEnds = {{
    {CompileStatus::kOk, CompileEnd::kCompiled},
    {CompileStatus::kNotParts, CompileEnd::kNotPartsSource},
    {CompileStatus::kInputUnreadable, CompileEnd::kSourceUnreadable},
    {CompileStatus::kPartsLineRefused, CompileEnd::kNoPartsName},
    {CompileStatus::kMemberLineRefused, CompileEnd::kMemberLineRefused},
    {CompileStatus::kSizeLineRefused, CompileEnd::kNoSizeName},
    {CompileStatus::kSizeNameTwice, CompileEnd::kSizeNamedTwice},
    {CompileStatus::kTableFull, CompileEnd::kTableFull},
    {CompileStatus::kOutOfMemory, CompileEnd::kNoMemory},
    {CompileStatus::kOutputUnopened, CompileEnd::kPartsFileNotOpened},
    {CompileStatus::kWriteFailed, CompileEnd::kWriteFailed},
}};

constexpr std::array<std::pair<SinkStatus, WriteStatus>, 3> kWriteStatuses = {{
    {SinkStatus::kOk, WriteStatus::kWritten},
    {SinkStatus::kBackupFailed, WriteStatus::kBackupFailed},
    {SinkStatus::kWriteFailed, WriteStatus::kWriteFailed},
}};

constexpr std::array<std::pair<ListStep, ListStatus>, 6> kListStatuses = {{
    {ListStep::kNone, ListStatus::kListed},
    {ListStep::kBaseName, ListStatus::kNoFullStop},
    {ListStep::kApg, ListStatus::kViewsUnread},
    {ListStep::kSizes, ListStatus::kSizeListUnread},
    {ListStep::kCommon, ListStatus::kCommonListUnread},
    {ListStep::kSizeMembers, ListStatus::kSizeMembersUnread},
}};

}  // namespace

CompileEnd PublicStatus(CompileStatus status) {
  return Mapped(kCompileEnds, status, CompileEnd::kInterrupted);
}

WriteStatus PublicStatus(SinkStatus status) {
  return Mapped(kWriteStatuses, status, WriteStatus::kNotCreated);
}

ListStatus PublicStatus(ListStep step) {
  return Mapped(kListStatuses, step, ListStatus::kHeaderUnread);
}

Diagnostic PublicDiagnostic(const DiagnosticRecord& record) {
  const CatalogueEntry& entry = CatalogueOf(record.id);
  Diagnostic d;
  d.name = std::string(entry.name);
  d.severity = record.severity;
  d.consequence = entry.consequence;
  d.message = record.message;
  d.file = record.file;
  d.line = record.line;
  d.column = record.column == 0 && record.pieceColumn > 1 ? record.pieceColumn : record.column;
  d.extra = record.extra;
  d.reason = record.reason;
  d.afterStop = record.afterStop;
  return d;
}

}  // namespace partsc
