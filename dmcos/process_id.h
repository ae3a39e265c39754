// Which process this is. A slot's backend belongs to the process that
// opened it: a child made by fork() inherits the parent's open slots as
// memory, but the connection and the files behind them are the parent's
// still, so the child must open afresh. One implementation file per
// platform.
#pragma once

namespace dmcos {

unsigned long currentProcess();

}  // namespace dmcos
