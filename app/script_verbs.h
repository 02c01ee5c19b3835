// The verbs for scripts: --read (a reader's configuration into a file), --verify (whether a
// reader holds a file's configuration) and --ensure (make it hold it, writing only when it
// does not, and read back what was written). They never show a box or ask a question:
// messages are lines on standard error, results lines on standard output.
#pragma once

#include "app/config_app.h"

// Each runs on the batch arguments, fills app.Report and gives the exit status.
int RunRead(CConfigApp& app);
int RunCheck(CConfigApp& app);
int RunVerify(CConfigApp& app);
int RunEnsure(CConfigApp& app);
