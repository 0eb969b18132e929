#include "WireBytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "link/FrameCodec.h"

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::string Hex(const std::string& bytes) { return Hex(std::vector<uint8_t>(bytes.begin(), bytes.end())); }

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> bytes;
  std::istringstream in(hex);
  std::string item;
  while (in >> item) bytes.push_back(static_cast<uint8_t>(std::stoul(item, nullptr, 16)));
  return bytes;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  const uint16_t crc = Crc16Modbus(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

std::vector<uint8_t> WithCrc(const std::string& hex) { return WithCrc(Bytes(hex)); }

void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0) << "write to the line failed";
    done += static_cast<size_t>(n);
  }
}
