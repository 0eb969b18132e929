// How the tool names a driver's refusal with an exception code, wherever it
// shows one: the frame decoder, the bus scan, the log and `korvelt listen`.
#pragma once

#include <cstdint>
#include <string>

// "异常应答 02 非法寄存器地址": the code in hex and its result text.
std::string ExceptionAnswerText(uint8_t code);
