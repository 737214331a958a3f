// The one place where the results of the layers below become the public
// statuses of <partsc/partsc.h>.
#pragma once

#include <partsc/partsc.h>

#include "compiler/compile_context.h"
#include "diagnostics/diagnostics_record.h"
#include "listing/listing.h"
#include "partsfile/parts_file.h"

namespace partsc {

// How the compile ended, as the library says it.
CompileEnd PublicStatus(CompileStatus status);
// What opening the parts file came to.
WriteStatus PublicStatus(SinkStatus status);
// The step of a listing that failed.
ListStatus PublicStatus(ListStep step);
// A record as the library gives it. A line-level diagnostic about a piece
// of a long line that is not its first points at where that piece begins.
Diagnostic PublicDiagnostic(const DiagnosticRecord& record);

}  // namespace partsc
