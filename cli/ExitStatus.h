// What korvelt's exit status tells a script.
#pragma once

#include "link/FrameCodec.h"

namespace cli {

enum ExitStatus : int {
  Done = 0,             // for diff: no difference
  Differs = 1,          // diff found differences
  TestFailed = 1,       // a unit failed its production test
  Usage = 2,            // the command line is wrong
  PortNotOpened = 3,    // the port did not open
  NoAnswer = 4,         // the driver did not answer (time-out, lost port)
  ExceptionAnswer = 5,  // the driver refused with an exception code
  BadAnswer = 6,        // an answer that does not answer the request
  ReadBackDiffers = 7,  // a block read back differs from what was written
  FileDoesNotFit = 8,   // not a parameter file, a refused text
  Unanswered = 8,       // a restore's question left unanswered (another model, the driver's
                        // line settings, no backup): nothing written; --force answers yes
  PlanDoesNotFit = 8,   // a test plan that does not fit (an unknown step or field, a limit
                        // out of the field's unit or range, a parameter file that does not load)
  FileNotWritten = 9,   // a file to save (a recording, its companion, a backup) or
                        // standard output did not take what was written
  Interrupted = 130,    // ended by SIGINT before it was done (a unit's test: ABORTED)
};

// The status for a transaction that did not succeed.
ExitStatus ExitFor(ModbusResult result);

}  // namespace cli
