// Writing and reading frames as hex text in tests: "01 03 00 20 00 16 C5 CE".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string Hex(const std::vector<uint8_t>& bytes);
std::string Hex(const std::string& bytes);
std::vector<uint8_t> Bytes(const std::string& hex);
// The frame with its CRC appended, low byte first.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame);
std::vector<uint8_t> WithCrc(const std::string& hex);
// Writes everything or fails the test.
void WriteAll(int fd, const std::vector<uint8_t>& bytes);
