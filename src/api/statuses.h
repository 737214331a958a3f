// The one place where the results of the layers below become the public
// statuses of <partsc/partsc.h>.
#pragma once

#include <partsc/partsc.h>

#include "compiler/compile_context.h"

namespace partsc {

// How the compile ended, as the library says it.
CompileEnd PublicStatus(CompileStatus status);
// The code of PartsSink::Open or of a short write.
WriteStatus WriteStatusOf(int code);
// The code of a listing's step.
ListStatus ListStatusOf(int code);

}  // namespace partsc
