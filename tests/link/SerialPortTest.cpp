#include <gtest/gtest.h>
#include <pwd.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "PtyPair.h"
#include "link/ModbusMaster.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"

namespace {

TEST(PortNames, ComNumbersResolveThroughThePortsFolderFirst) {
  PortsFolder ports;
  PtyPair pty;
  ports.Map(3, pty.SlavePath());
  EXPECT_EQ(ResolveComPort(3), ports.Path() + "/COM3");
  EXPECT_EQ(PortsDirectory(), ports.Path());
  EXPECT_EQ(ResolveComPort(0), "");
  EXPECT_EQ(ResolveComPort(1000), "");  // no machine has a thousand serial devices

  const auto devices = EnumerateSerialDevices();
  for (const auto& device : devices) EXPECT_EQ(device.rfind("/dev/tty", 0), 0u) << device;
}

TEST(PortNames, StableNameIsFoundThroughAnyLinkToTheDevice) {
  PortsFolder ports;
  PtyPair adapter, other;
  const std::string byId = ports.Path() + "/by-id";
  std::filesystem::create_directory(byId);
  std::filesystem::create_symlink(adapter.SlavePath(), byId + "/usb-KORVELT_Bench_Adapter_A1-if00-port0");
  ports.Map(1, adapter.SlavePath());

  EXPECT_EQ(StableDeviceName(adapter.SlavePath(), byId), byId + "/usb-KORVELT_Bench_Adapter_A1-if00-port0");
  EXPECT_EQ(StableDeviceName(ports.Path() + "/COM1", byId), byId + "/usb-KORVELT_Bench_Adapter_A1-if00-port0");
  EXPECT_EQ(StableDeviceName(other.SlavePath(), byId), "");
  EXPECT_EQ(StableDeviceName(adapter.SlavePath(), ports.Path() + "/no-such-folder"), "");
}

class SerialLine : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
  void SetUp() override { ports.Map(1, pty.SlavePath()); }

  // The line settings as the tty itself holds them, read through the
  // pair's own descriptor on the same tty.
  termios Settings() {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty.Slave(), &tio), 0);
    return tio;
  }
};

TEST_F(SerialLine, EveryPanelRateAndParityReachesTheDevice) {
  for (int rate : kBaudRates) {
    SerialPort port;
    ASSERT_TRUE(port.Open(1)) << rate;
    ASSERT_TRUE(port.Configure(rate, Parity::None2)) << rate;
    EXPECT_EQ(port.BaudRate(), rate);
  }

  // A pseudo-terminal drops parity; a second open at odd or even parity
  // must not be taken for a refused rate.
  for (const Parity parity : {Parity::Even, Parity::Even, Parity::Odd, Parity::Odd, Parity::Even}) {
    SerialPort port;
    ASSERT_TRUE(port.Open(1));
    ASSERT_TRUE(port.Configure(9600, parity)) << ParityName(parity);
    ASSERT_TRUE(port.Configure(14400, parity)) << ParityName(parity);
  }

  // A pseudo-terminal drops parity, so only the stop bits and the raw mode
  // can be seen on it; the parity flags are checked on the settings below.
  for (const Parity parity : {Parity::Even, Parity::None2}) {
    SerialPort port;
    ASSERT_TRUE(port.Open(1));
    ASSERT_TRUE(port.Configure(9600, parity));
    const termios tio = Settings();
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, parity == Parity::None2);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
}

TEST_F(SerialLine, OpenIsExclusiveUntilClosed) {
  SerialPort first;
  ASSERT_TRUE(first.Open(1));
  SerialPort second;
  EXPECT_FALSE(second.Open(1));
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  first.Close();  // closing twice does nothing
  EXPECT_TRUE(second.Open(1));
}

TEST_F(SerialLine, MissingOrUnsuitableDevicesDoNotOpen) {
  ports.Map(2, "/dev/korvelt-no-such-device");
  const std::string plainFile = ports.Path() + "/not-a-tty";
  std::ofstream(plainFile) << "x";
  ports.Map(4, plainFile);

  SerialPort port;
  EXPECT_FALSE(port.Open(2));
  EXPECT_FALSE(port.Open(4));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.QueuedInput(), -1);
  EXPECT_EQ(port.TakeLineErrors(), 0u);
}

TEST_F(SerialLine, LinkOpenChecksNumberModeAndState) {
  ModbusMaster link;
  EXPECT_EQ(link.OpenPort(0, 9600, Parity::None2), 0);
  EXPECT_EQ(link.OpenPort(1025, 9600, Parity::None2), 0);
  EXPECT_EQ(link.OpenPort(1, -9600, Parity::None2), 0);
  EXPECT_FALSE(link.IsOpen());

  // 1024 is still a valid number.
  ports.Map(1024, pty.SlavePath());
  ASSERT_NE(link.OpenPort(1024, 9600, Parity::None2), 0);
  EXPECT_EQ(link.DevicePath(), ports.Path() + "/COM1024");
  link.ClosePort();
  link.ClosePort();
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.DevicePath(), "");
}

TEST_F(SerialLine, LinkOpensWithTheRateAndStopBitsOfItsChoice) {
  ModbusMaster link;
  ASSERT_NE(link.OpenPort(1, 19200, ParityFromIndex(3)), 0);
  termios tio = Settings();
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  link.ClosePort();
  ASSERT_NE(link.OpenPort(1, 14400, Parity::None2), 0);
  tio = Settings();
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
}

TEST_F(SerialLine, SecondOpenFailsAndLeavesTheFirstConnectionAlone) {
  ModbusMaster link;
  ASSERT_NE(link.OpenPort(1, 9600, Parity::None2), 0);
  EXPECT_EQ(link.OpenPort(1, 115200, Parity::Even), 0);
  EXPECT_TRUE(link.IsOpen());
  const termios tio = Settings();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));

  // Another master cannot take the same line while this one holds it.
  ModbusMaster other;
  EXPECT_EQ(other.OpenPort(1, 9600, Parity::None2), 0);
  link.ClosePort();
  EXPECT_NE(other.OpenPort(1, 9600, Parity::None2), 0);
}

}  // namespace

// The tool and the simulated driver both take the folder from here; with
// HOME unset it must still be a real place, the account's home.
TEST(PortNames, WithoutHomeThePortsFolderIsStillTheAccountsOwn) {
  PortsFolder restoresKorveltPorts;
  const char* saved = std::getenv("HOME");
  const std::string previous = saved != nullptr ? saved : "";
  unsetenv("KORVELT_PORTS");
  unsetenv("HOME");
  EXPECT_EQ(PortsDirectory(), std::string(getpwuid(getuid())->pw_dir) + "/.korvelt/ports");
  if (saved != nullptr) setenv("HOME", previous.c_str(), 1);
}
