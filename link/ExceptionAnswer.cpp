#include "link/ExceptionAnswer.h"

#include <cstdio>

#include "lang/Texts.h"
#include "link/FrameCodec.h"

std::string ExceptionAnswerText(uint8_t code) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(code));
  return lang::Fill(lang::Tr("异常应答 {1} {2}"), {hex, ResultText(code)});
}
