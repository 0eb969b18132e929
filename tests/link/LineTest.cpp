// The line's forms converted from and to the one type: names, list
// positions and register values, the termios settings of each parity, and
// the bytes of a read as the frame codec builds it.
#include <gtest/gtest.h>
#include <termios.h>

#include "link/FrameCodec.h"
#include "link/FrameShapes.h"
#include "link/Line.h"
#include "link/PortText.h"
#include "link/SerialPort.h"

namespace {

TEST(Line, ParityFormsAndTermiosSettings) {
  struct Case {
    Parity parity;
    const char* name;
    tcflag_t flags;  // of CSTOPB, PARENB, PARODD
  };
  const Case cases[] = {
      {Parity::None2, "none2", CSTOPB},
      {Parity::Odd, "odd", PARENB | PARODD},
      {Parity::Even, "even", PARENB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParityName(c.parity), c.name);
    EXPECT_EQ(ParityFromName(c.name), c.parity);
    EXPECT_EQ(ParityFromIndex(ParityIndex(c.parity)), c.parity);

    termios tio{};
    tio.c_cflag = CRTSCTS | CS5 | PARODD;
    tio.c_iflag = IXON | INPCK;
    tio.c_lflag = ICANON | ECHO;
    EXPECT_TRUE(ApplyLineSettings(tio, 19200, c.parity));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | PARENB | PARODD), c.flags);
    EXPECT_EQ(tio.c_cflag & (CSIZE | CRTSCTS | CLOCAL | CREAD), static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != Parity::None2);  // parity errors counted
    EXPECT_EQ(tio.c_iflag & IXON, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  }
  // A rate without a termios constant is left for the caller to set.
  termios tio{};
  EXPECT_FALSE(ApplyLineSettings(tio, 14400, Parity::None2));

  for (const char* unknown : {"", "none", "None2", "e", "even "}) EXPECT_EQ(ParityFromName(unknown), std::nullopt) << unknown;
  // Like the port, a list position or register value past 2 is even.
  const std::pair<int, Parity> indexes[] = {{-1, Parity::None2}, {0, Parity::None2}, {1, Parity::Odd},
                                            {2, Parity::Even},   {3, Parity::Even},  {65535, Parity::Even}};
  for (const auto& [index, parity] : indexes) EXPECT_EQ(ParityFromIndex(index), parity) << index;
}

TEST(Line, RatesAndTheBytesOfARead) {
  EXPECT_EQ(BaudRateList(), "9600, 14400, 19200, 38400, 57600, 115200");
  for (int rate : kBaudRates) EXPECT_TRUE(IsBaudRate(rate)) << rate;
  for (int rate : {0, -9600, 1200, 14401, 230400}) EXPECT_FALSE(IsBaudRate(rate)) << rate;

  for (uint16_t count : {1, 14, 22, 125}) {
    const Frame request = BuildReadRequest(1, 0x0020, count);
    EXPECT_EQ(request.length, ReadRequestBytes);
    EXPECT_EQ(ExpectedAnswerLength(request.bytes.data(), request.length), ReadAnswerBytes(count)) << count;
  }
}

// Every port text: its kind, and for a network port its host and port, or
// nothing when the text holds no whole address.
TEST(Line, PortTexts) {
  struct Case {
    const char* text;
    PortKind kind;
    bool parsed;
    const char* host;
    uint16_t port;
  };
  const Case cases[] = {
      {"COM3", PortKind::Serial, false, "", 0},
      {"/dev/ttyUSB0", PortKind::Serial, false, "", 0},
      {"tcp://192.168.1.50:4001", PortKind::Tcp, true, "192.168.1.50", 4001},
      {"tcp://box-7.cabinet:4001/", PortKind::Tcp, true, "box-7.cabinet", 4001},
      {"tcp://[::1]:4001", PortKind::Tcp, true, "::1", 4001},
      {"rfc2217://[fe80::1%eth0]:2217", PortKind::Rfc2217, true, "fe80::1%eth0", 2217},
      {"modbus-tcp://10.0.0.9", PortKind::ModbusTcp, true, "10.0.0.9", 502},
      {"modbus-tcp://[::1]", PortKind::ModbusTcp, true, "::1", 502},
      {"modbus-tcp://gw:1502", PortKind::ModbusTcp, true, "gw", 1502},
      {"tcp://host", PortKind::Tcp, false, "", 0},          // a raw server has no standard port
      {"tcp://host:", PortKind::Tcp, false, "", 0},
      {"tcp://:4001", PortKind::Tcp, false, "", 0},
      {"tcp://host:0", PortKind::Tcp, false, "", 0},
      {"tcp://host:65536", PortKind::Tcp, false, "", 0},
      {"tcp://host:04001", PortKind::Tcp, false, "", 0},
      {"tcp://::1:4001", PortKind::Tcp, false, "", 0},      // IPv6 wants its brackets
      {"tcp://[::1:4001", PortKind::Tcp, false, "", 0},
      {"tcp://a b:4001", PortKind::Tcp, false, "", 0},
      {"tcp://host;rm:4001", PortKind::Tcp, false, "", 0},
      {"udp://host:4001", PortKind::Serial, false, "", 0},  // no such kind: fails as a port
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KindOfPort(c.text), c.kind) << c.text;
    EXPECT_EQ(IsDevicePath(c.text), c.kind == PortKind::Serial && std::string(c.text).find('/') != std::string::npos &&
                                        std::string(c.text).find("://") == std::string::npos)
        << c.text;
    const std::optional<NetworkAddress> address = ParseNetworkPort(c.text);
    ASSERT_EQ(address.has_value(), c.parsed) << c.text;
    if (!address) continue;
    EXPECT_EQ(address->kind, c.kind) << c.text;
    EXPECT_EQ(address->host, c.host) << c.text;
    EXPECT_EQ(address->port, c.port) << c.text;
  }
  EXPECT_EQ(HostAndPort({PortKind::Tcp, "::1", 4001}), "[::1]:4001");
  EXPECT_EQ(HostAndPort({PortKind::Tcp, "10.0.0.9", 502}), "10.0.0.9:502");
}

}  // namespace
