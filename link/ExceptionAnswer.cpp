#include "link/ExceptionAnswer.h"

#include <cstdio>

#include "link/FrameCodec.h"

std::string ExceptionAnswerText(uint8_t code) {
  char head[32];
  std::snprintf(head, sizeof head, "异常应答 %02X ", static_cast<unsigned>(code));
  return head + ResultText(code);
}
