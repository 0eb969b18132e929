#include "cli/ExitStatus.h"

namespace cli {

ExitStatus ExitFor(ModbusResult result) {
  if (result == ResultSuccess) return Done;
  if (result >= 0x01 && result <= 0x7F) return ExceptionAnswer;
  if (result == ResultBadResponse) return BadAnswer;
  return NoAnswer;
}

}  // namespace cli
