// Injected faults: what each does to the answer, whether the request is
// still carried out, and how long a fault lasts.
#include <gtest/gtest.h>

#include "SimTestSupport.h"

using namespace simtest;
using sim::Fault;
using sim::FaultKind;

namespace {

const Bytes kReadRamp = Read(1, 0x0050, 4);

Bytes CleanAnswer() {
  sim::SimulatedDriver clean;
  return clean.Respond(kReadRamp);
}

}  // namespace

TEST(Fault, CorruptedAnswersFailTheFrameCheckInTheirOwnWay) {
  const Bytes clean = CleanAnswer();
  sim::SimulatedDriver driver;

  driver.SetFault(Fault::Of(FaultKind::BadCrc));
  Bytes answer = driver.Respond(kReadRamp);
  ASSERT_EQ(answer.size(), clean.size());
  EXPECT_FALSE(FrameCheck(answer.data(), answer.size(), 1));
  EXPECT_TRUE(std::equal(answer.begin(), answer.end() - 2, clean.begin()));

  driver.SetFault(Fault::Of(FaultKind::WrongAddress));
  answer = driver.Respond(kReadRamp);
  EXPECT_FALSE(FrameCheck(answer.data(), answer.size(), 1));
  EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), answer[0])) << "only the address is wrong";

  driver.SetFault(Fault::Of(FaultKind::Garbage));
  answer = driver.Respond(kReadRamp);
  ASSERT_EQ(answer.size(), clean.size() + std::size(sim::GarbageBytes));
  EXPECT_TRUE(std::equal(clean.begin(), clean.end(), answer.begin() + std::size(sim::GarbageBytes)));

  driver.SetFault(Fault::Of(FaultKind::OverLong));
  answer = driver.Respond(kReadRamp);
  EXPECT_GT(answer.size(), 256u);
  EXPECT_TRUE(std::equal(clean.begin(), clean.end() - 2, answer.begin()));
  const uint16_t crc = Crc16Modbus(answer.data(), answer.size() - 2);
  EXPECT_EQ(answer[answer.size() - 2], crc & 0xFF) << "whole and correct but for its size";

  driver.SetFault(Fault::Of(FaultKind::LyingByteCount));
  answer = driver.Respond(kReadRamp);
  ASSERT_EQ(answer.size(), clean.size());
  EXPECT_EQ(answer[2], clean[2] + 2);
  EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
}

TEST(Fault, HostileAnswersAreWholeFramesThatSayTheWrongThing) {
  const Bytes clean = CleanAnswer();
  sim::SimulatedDriver driver;
  for (int error : {-2, 2}) {
    driver.SetFault(Fault::CountOffBy(error));
    const Bytes answer = driver.Respond(kReadRamp);
    EXPECT_EQ(answer.size(), clean.size() + error);
    EXPECT_EQ(answer[2], clean[2] + error) << "the byte count tells the truth";
    EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
  }

  driver.SetFault(Fault::Of(FaultKind::AnyAddress));
  const Bytes stranger = driver.Respond(Read(9, 0x0050, 4));
  EXPECT_EQ(stranger, clean) << "answered from its own address";

  driver.SetFault(Fault::Of(FaultKind::Split));
  const sim::Reply split = driver.Answer(kReadRamp.data(), kReadRamp.size());
  EXPECT_EQ(split.bytes, clean);
  EXPECT_EQ(split.splitAt, clean.size() / 2);
  EXPECT_EQ(split.splitGap, sim::DefaultSplitGap);

  driver.SetFault(Fault::Of(FaultKind::WrongEcho));
  const Bytes echo = driver.Respond(WriteOne(1, 0x0050, 9));
  EXPECT_EQ(echo, Sealed({0x01, 0x06, 0x00, 0x51, 0x00, 0x09}));
  EXPECT_EQ(driver.Register(0x0050), 9) << "written where asked, echoed elsewhere";
}

TEST(Fault, ALostOrRefusedRequestIsNotCarriedOut) {
  sim::SimulatedDriver driver;
  driver.SetFault(Fault::Of(FaultKind::NoAnswer));
  EXPECT_TRUE(driver.Respond(WriteOne(1, 0x0050, 9)).empty());
  EXPECT_EQ(driver.RequestCount(), 1u) << "counted though not answered";

  driver.SetFault(Fault::ExceptionCode(0x40));
  const Bytes answer = driver.Respond(WriteOne(1, 0x0050, 9));
  EXPECT_EQ(ExceptionOf(answer), 0x40);
  EXPECT_EQ(answer[1], 0x86);
  EXPECT_EQ(driver.Register(0x0050), 5);
}

TEST(Fault, LastsForItsCountOfRequestsOrUntilCleared) {
  sim::SimulatedDriver driver;
  driver.SetFault(Fault::Of(FaultKind::NoAnswer, 2));
  EXPECT_TRUE(driver.Respond(kReadRamp).empty());
  // Another slave's frame does not use up the fault.
  EXPECT_TRUE(driver.Respond(Read(9, 0x0050, 4)).empty());
  EXPECT_TRUE(driver.Respond(kReadRamp).empty());
  EXPECT_FALSE(driver.Respond(kReadRamp).empty());
  EXPECT_EQ(driver.CurrentFault().kind, FaultKind::None);

  driver.SetFault(Fault::Of(FaultKind::NoAnswer));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(driver.Respond(kReadRamp).empty());
  driver.ClearFault();
  EXPECT_FALSE(driver.Respond(kReadRamp).empty());
}

TEST(Fault, IgnoredWritesAreAnsweredRightAndChangeNothing) {
  sim::SimulatedDriver clean(sim::DriverOptions{.learned = true});
  sim::SimulatedDriver driver(sim::DriverOptions{.learned = true});
  const Bytes rampWrite = WriteMany(1, 0x0050, {7, 8, 9, 10});
  driver.SetFault(Fault::Of(FaultKind::IgnoreWrites, 3));
  for (const Bytes& write : {rampWrite, WriteOne(1, 0x0042, 300), WriteOne(1, 0x0020, 1)}) {
    EXPECT_EQ(driver.Respond(write), clean.Respond(write)) << "the echo, or the same refusal";
    EXPECT_EQ(Words(driver.Respond(Read(1, 0x0050, 4))), (std::vector<uint16_t>{5, 5, 5000, 5000})) << "not stored";
  }
  EXPECT_EQ(driver.Register(0x0042), 0) << "the PWM command is not taken";
  EXPECT_EQ(driver.CurrentFault().kind, FaultKind::None) << "used up by three writes, not by the reads between";
  EXPECT_EQ(driver.Respond(rampWrite), clean.Respond(rampWrite));
  EXPECT_EQ(driver.Register(0x0053), 10) << "stored once the count is used up";
}
