// How long a Modbus RTU frame is, as its header tells, for the requests and
// answers of every function whose length can be told from its first bytes:
// for a listener that sees both sides of a line. The answers of the
// functions the tool itself asks for are fitted as the master fits them
// (FitAnswer); the others by a table of their layouts. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Answer.h"

// Bytes on the line of a read of `registers` holding registers: the request
// (address, function, first register, count, CRC), and the answer (address,
// function, byte count, two bytes a register, CRC).
constexpr size_t ReadRequestBytes = 8;
constexpr size_t ReadAnswerBytes(size_t registers) { return 5 + 2 * registers; }

// The request whose first `available` bytes are at `bytes`: Complete or
// BadCrc at the length its header gives, NeedsMore until that many are in,
// Unknown for a function (or MEI type) whose request length cannot be told.
AnswerFit FitRequest(const uint8_t* bytes, size_t available);

// An answer or an exception answer of any function: FitAnswer for the
// tool's functions and exceptions, the table for the others.
AnswerFit FitAnyAnswer(const uint8_t* bytes, size_t available);

// The length of a sound answer to the `length`-byte request at `request`;
// 0 when the request does not tell it.
size_t ExpectedAnswerLength(const uint8_t* request, size_t length);
