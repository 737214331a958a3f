// partsc --lsp: the language server on standard input and output.
#pragma once

#include "lsp/framing.h"
#include "lsp/server.h"

namespace partsc {
class OvPipe;
}

namespace partsc::lsp {

// Hands the server every message and every framing problem the reader
// holds, until it holds no more or the server exited.
void Deliver(MessageReader& reader, Server& server);

// Serves one client on `pipe` until it sends exit or closes its end; answers
// the exit status: 0 after shutdown and exit, 1 otherwise, 128 + the signal
// when SIGTERM, SIGINT or SIGHUP ended it (within a second).
int RunLanguageServer(OvPipe& pipe, ServerOptions options);

}  // namespace partsc::lsp
