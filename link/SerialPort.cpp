#include "link/SerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/ArbitraryBaud.h"
#include "link/PortNames.h"

namespace {

struct RateConstant {
  int rate;
  speed_t constant;
};

constexpr RateConstant kRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},   {460800, B460800},
    {921600, B921600},
};

// What an errno of open(2) says about the device.
struct OpenErrorKind {
  int error;
  OpenFailureKind kind;
};

constexpr OpenErrorKind kOpenErrors[] = {
    {EACCES, OpenFailureKind::PermissionDenied},
    {EPERM, OpenFailureKind::PermissionDenied},
    {EBUSY, OpenFailureKind::Busy},  // another opener set TIOCEXCL
};

OpenFailureKind KindOfOpenError(const std::string& path, int error) {
  for (const OpenErrorKind& entry : kOpenErrors) {
    if (entry.error == error) return entry.kind;
  }
  struct stat link {};
  if (error == ENOENT && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    return OpenFailureKind::DanglingLink;
  }
  return OpenFailureKind::SystemError;
}

// A device may round a rate to one it can make; beyond 2 % the far end
// cannot read it.
bool RateKept(int asked, int actual) { return actual <= 0 || std::abs(actual - asked) * 50 <= asked; }

bool RateConstantFor(int rate, speed_t& constant) {
  for (const RateConstant& entry : kRates) {
    if (entry.rate == rate) {
      constant = entry.constant;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ApplyLineSettings(termios& tio, int baudRate, Parity parity) {
  cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag |= CS8;
  if (parity == Parity::None2) {
    tio.c_cflag |= CSTOPB;
  } else {
    tio.c_cflag |= PARENB;
    tio.c_iflag |= INPCK;  // let the driver count parity errors
    if (parity == Parity::Odd) tio.c_cflag |= PARODD;
  }
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;

  speed_t constant = B9600;
  const bool standardRate = RateConstantFor(baudRate, constant);
  cfsetispeed(&tio, constant);
  cfsetospeed(&tio, constant);
  return standardRate;
}

namespace {

// A device that cannot carry parity (a pseudo-terminal) drops the parity
// flags; when that was all the request would change, tcsetattr says
// EINVAL although the line is as asked in everything the device has.
bool OnlyParityDropped(int fd, const termios& wanted) {
  if (errno != EINVAL) return false;
  termios now{};
  if (tcgetattr(fd, &now) != 0) return false;
  constexpr tcflag_t kParity = PARENB | PARODD | CMSPAR;
  return (now.c_cflag & ~kParity) == (wanted.c_cflag & ~kParity) && cfgetospeed(&now) == cfgetospeed(&wanted) &&
         (now.c_cflag & PARENB) == 0;
}

}  // namespace

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(unsigned portNumber) {
  Close();
  portNumber_ = portNumber;
  const std::string path = ResolveComPort(portNumber);
  if (path.empty()) return Refuse(OpenFailureKind::NoDevice, ComLinkPath(portNumber), 0);
  return OpenDevice(path);
}

bool SerialPort::OpenDevice(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return Refuse(KindOfOpenError(path, error), path, error);
  }
  if (!isatty(fd)) {
    ::close(fd);
    return Refuse(OpenFailureKind::NotATerminal, path, ENOTTY);
  }
  // TIOCEXCL keeps other programs out (root excepted); the lock also keeps
  // out a second opener that runs as root, this program included.
  if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Refuse(error == EWOULDBLOCK ? OpenFailureKind::Busy : OpenFailureKind::SystemError, path, error);
  }
  fd_ = fd;
  devicePath_ = path;
  lastFailure_ = {};
  keepsErrorCounts_ = ReadErrorCounts(lastErrors_) || (errno != ENOTTY && errno != EINVAL);
  return true;
}

bool SerialPort::Refuse(OpenFailureKind kind, const std::string& path, int error) {
  lastFailure_ = OpenFailure{kind, path, portNumber_, 0, error, {}};
  return false;
}

bool SerialPort::OpenLine(const Line& line) {
  const bool opened = IsDevicePath(line.port) ? OpenDevice(line.port) : Open(ComNumberOf(line.port));
  if (opened && Configure(line.baud, line.parity)) return true;
  Close();  // LastOpenFailure still says why
  return false;
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  tcflush(fd_, TCOFLUSH);
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  devicePath_.clear();
  lastErrors_ = {};
  keepsErrorCounts_ = false;
}

bool SerialPort::Configure(int baudRate, Parity parity) {
  if (fd_ < 0) return Refuse(OpenFailureKind::SystemError, devicePath_, EBADF);
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) return Refuse(OpenFailureKind::SystemError, devicePath_, errno);
  const bool standardRate = ApplyLineSettings(tio, baudRate, parity);
  const bool set = (tcsetattr(fd_, TCSANOW, &tio) == 0 || OnlyParityDropped(fd_, tio)) &&
                   (standardRate || SetArbitraryBaud(fd_, baudRate));
  const int error = set ? 0 : errno;
  if (error != 0 && error != EINVAL) return Refuse(OpenFailureKind::SystemError, devicePath_, error);
  if (!set || !RateKept(baudRate, CurrentBaudRate(fd_))) {
    Refuse(OpenFailureKind::RateRefused, devicePath_, error);
    lastFailure_.baudRate = baudRate;
    return false;
  }
  return true;
}

int SerialPort::BaudRate() const { return fd_ >= 0 ? CurrentBaudRate(fd_) : 0; }

bool SerialPort::RaiseRts() {
  if (fd_ < 0) return false;
  int bits = TIOCM_RTS;
  return ioctl(fd_, TIOCMBIS, &bits) == 0;
}

bool SerialPort::RequestLowLatency() {
  if (fd_ < 0) return false;
  serial_struct serial{};
  if (ioctl(fd_, TIOCGSERIAL, &serial) != 0) return false;
  if (serial.flags & ASYNC_LOW_LATENCY) return true;
  serial.flags |= ASYNC_LOW_LATENCY;
  return ioctl(fd_, TIOCSSERIAL, &serial) == 0;
}

void SerialPort::PrepareLine() {
  RequestLowLatency();
  RaiseRts();
}

void SerialPort::PurgeInput() {
  if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

void SerialPort::PurgeOutput() {
  if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
}

int SerialPort::QueuedInput() const {
  if (fd_ < 0) return -1;
  int queued = 0;
  if (ioctl(fd_, TIOCINQ, &queued) != 0) return -1;
  return queued;
}

bool SerialPort::ReadErrorCounts(LineErrorCounts& counts) const {
  serial_icounter_struct icount{};
  if (fd_ < 0 || ioctl(fd_, TIOCGICOUNT, &icount) != 0) return false;
  counts = LineErrorCounts{icount.frame, icount.parity, icount.overrun, icount.brk, icount.buf_overrun};
  return true;
}

unsigned SerialPort::TakeLineErrors() {
  LineErrorCounts now;
  if (!keepsErrorCounts_ || !ReadErrorCounts(now)) return 0;
  const auto grown = [](int after, int before) { return after > before ? static_cast<unsigned>(after - before) : 0u; };
  const unsigned errors = grown(now.frame, lastErrors_.frame) + grown(now.parity, lastErrors_.parity) +
                          grown(now.overrun, lastErrors_.overrun) + grown(now.brk, lastErrors_.brk) +
                          grown(now.bufferOverrun, lastErrors_.bufferOverrun);
  lastErrors_ = now;
  return errors;
}

ssize_t SerialPort::Read(uint8_t* buffer, size_t size) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    n = ::read(fd_, buffer, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t SerialPort::Write(const uint8_t* data, size_t size) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    n = ::write(fd_, data, size);
  } while (n < 0 && errno == EINTR);
  return n;
}
