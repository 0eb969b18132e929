// The simulated driver as a Modbus slave, through its request -> answer
// function: the register map it serves, its exceptions and silences, device
// identification, and the rules that guard motion and parameter writes.
#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <string>

#include "SimTestSupport.h"

using namespace simtest;

namespace {

uint32_t Pair(const std::vector<uint16_t>& words, size_t at) {
  return (static_cast<uint32_t>(words[at]) << 16) | words[at + 1];
}

}  // namespace

TEST(DriverProtocol, DeviceInfoGoesOutHighByteFirstWithTheModelTextInWireOrder) {
  sim::SimulatedDriver driver;
  const Bytes answer = driver.Respond(Read(1, 0x0000, 14));
  ASSERT_EQ(answer.size(), 5u + 28u);
  EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
  EXPECT_EQ(answer[2], 28);
  // Version 1.05 as bytes 01 05 in register 1.
  EXPECT_EQ(answer[5], 0x01);
  EXPECT_EQ(answer[6], 0x05);
  // Registers 2..9: the model text, first character in the high byte.
  EXPECT_EQ(std::string(answer.begin() + 7, answer.begin() + 23), "KVB-4815-RS485-S");
  const std::vector<uint16_t> words = Words(answer);
  EXPECT_EQ(words[10], 1000);   // PWM resolution 1/1000
  EXPECT_EQ(words[11], 20000);  // 20.0 kHz
  EXPECT_EQ(words[12], 1500);   // 15.0 A
}

TEST(DriverProtocol, EveryBlockTheToolReadsIsServedWhole) {
  sim::SimulatedDriver driver;
  const struct {
    uint16_t start;
    uint16_t count;
  } reads[] = {{0x0000, 14}, {0x0020, 22}, {0x0050, 4},  {0x0060, 23}, {0x0080, 26}, {0x00A0, 10},
               {0x00AA, 1},  {0x00B0, 4},  {0x00BA, 18}, {0x00E0, 5},  {0x00E0, 11}, {0x00E0, 16}};
  for (const auto& read : reads) {
    SCOPED_TRACE(read.start);
    const Bytes answer = driver.Respond(Read(1, read.start, read.count));
    ASSERT_EQ(answer.size(), 5u + 2u * read.count);
    EXPECT_EQ(answer[2], 2 * read.count);
    EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
  }
}

TEST(DriverProtocol, ThirtyTwoBitValuesAndFloatsPutTheHighWordInTheLowerRegister) {
  sim::SimulatedDriver driver;
  const std::vector<uint16_t> system = Words(driver.Respond(Read(1, 0x0080, 26)));
  ASSERT_EQ(system.size(), 26u);
  EXPECT_EQ(std::bit_cast<float>(Pair(system, 12)), 1.0f);  // pulse ratio
  EXPECT_EQ(Pair(system, 16), 9600u);                        // baud rate
  EXPECT_EQ(std::bit_cast<float>(Pair(system, 22)), 1.0f);  // analog gain

  // A stroke written high word first reads back as the same 32-bit value.
  ASSERT_EQ(driver.Respond(WriteMany(1, 0x00A0, {0, 1, 0x0001, 0x86A0, 100, 10, 50, 10, 0, 150})).size(), 8u);
  EXPECT_EQ(Pair(Words(driver.Respond(Read(1, 0x00A2, 2))), 0), 100000u);
}

TEST(DriverProtocol, RefusesWithTheStandardExceptions) {
  ClockedDriver d;
  // Function codes it does not have.
  EXPECT_EQ(d.Send(Sealed({1, 0x04, 0x00, 0x20, 0x00, 0x01})), 0x01);
  EXPECT_EQ(d.Send(Sealed({1, 0x11})), 0x01);
  EXPECT_EQ(d.Send(Sealed({1, 0x2B, 0x0D, 0x01, 0x00})), 0x01);
  // Addresses it does not have, or cannot write.
  EXPECT_EQ(d.Send(Read(1, 0x0041, 1)), 0x02);
  EXPECT_EQ(d.Send(Read(1, 0x0030, 8)), 0x02);   // runs past the status block
  EXPECT_EQ(d.Send(Read(1, 0x00E0, 17)), 0x02);  // past the learning block
  EXPECT_EQ(d.Send(Read(1, 0xFFFF, 1)), 0x02);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0000, 1)), 0x02);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0021, 1)), 0x02);
  EXPECT_EQ(d.Send(WriteMany(1, 0x00E2, {0, 0, 6})), 0x02);  // into the learning results
  // Bad counts.
  EXPECT_EQ(d.Send(Read(1, 0x0000, 0)), 0x03);
  EXPECT_EQ(d.Send(Read(1, 0x0000, 126)), 0x03);
  EXPECT_EQ(d.Send(Sealed({1, 0x10, 0x00, 0x50, 0x00, 0x02, 0x02, 0x00, 0x01})), 0x03);  // byte count
  EXPECT_EQ(d.Send(Sealed({1, 0x10, 0x00, 0x50, 0x00, 0x00, 0x00})), 0x03);
  // An exception answer is five bytes with the function code's top bit set.
  const Bytes answer = d.driver.Respond(Read(1, 0x0041, 1));
  ASSERT_EQ(answer.size(), 5u);
  EXPECT_EQ(answer[1], 0x83);
  EXPECT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
  // None of the refused writes changed anything.
  EXPECT_EQ(d.driver.Register(0x0000), 0x0A31);
  EXPECT_EQ(d.driver.Register(0x0050), 5);
}

TEST(DriverProtocol, StaysSilentOnABadCrcOrAnotherAddress) {
  sim::SimulatedDriver driver;
  Bytes corrupt = Read(1, 0x0000, 14);
  corrupt[7] ^= 0x01;
  EXPECT_TRUE(driver.Respond(corrupt).empty());
  EXPECT_TRUE(driver.Respond(Read(2, 0x0000, 14)).empty());
  EXPECT_TRUE(driver.Respond(Read(0, 0x0000, 14)).empty());
  EXPECT_TRUE(driver.Respond(Bytes{1, 3, 0}).empty());
  EXPECT_EQ(driver.RequestCount(), 0u);

  driver.SetAddress(77);
  EXPECT_TRUE(driver.Respond(Read(1, 0x0000, 1)).empty());
  const Bytes answer = driver.Respond(Read(77, 0x0000, 1));
  ASSERT_FALSE(answer.empty());
  EXPECT_EQ(answer[0], 77);
  EXPECT_EQ(driver.RequestCount(), 1u);
}

TEST(DriverProtocol, IdentificationObjectsArePagedWithMoreFollows) {
  sim::SimulatedDriver driver;
  std::set<int> ids;
  int answers = 0;
  uint8_t next = 0;
  for (bool more = true; more; ++answers) {
    ASSERT_LT(answers, 10) << "more-follows never ends";
    const Bytes answer = driver.Respond(Identify(1, 1, next));
    ASSERT_GE(answer.size(), 10u);
    ASSERT_LE(answer.size(), 256u);
    ASSERT_TRUE(FrameCheck(answer.data(), answer.size(), 1));
    ASSERT_EQ(answer[1], 0x2B);
    ASSERT_GE(answer[7], 1) << "an answer without objects";
    // Each page starts with the object the previous one announced.
    EXPECT_EQ(answer[8], next);
    more = answer[5] == 0xFF;
    next = answer[6];
    size_t at = 8;
    for (int i = 0; i < answer[7]; ++i) {
      ASSERT_LE(at + 2 + answer[at + 1], answer.size() - 2);
      EXPECT_TRUE(ids.insert(answer[at]).second) << "object sent twice: " << int(answer[at]);
      at += 2 + answer[at + 1];
    }
    EXPECT_EQ(at, answer.size() - 2);
    if (more) {
      EXPECT_EQ(ids.count(next), 0u) << "next object id already sent";
    }
  }
  EXPECT_GE(answers, 2);
  for (int id = 0; id <= 6; ++id) EXPECT_EQ(ids.count(id), 1u) << id;
  EXPECT_GE(*ids.rbegin(), 7);

  // One object on its own, and the refusals.
  const Bytes single = driver.Respond(Identify(1, 4, 0x81));
  ASSERT_GT(single.size(), 10u);
  EXPECT_EQ(single[7], 1);
  EXPECT_EQ(single[8], 0x81);
  EXPECT_EQ(ExceptionOf(driver.Respond(Identify(1, 4, 0x42))), 0x02);
  EXPECT_EQ(ExceptionOf(driver.Respond(Identify(1, 0, 0))), 0x03);
}

TEST(DriverProtocol, MotionWaitsForALearnedMotor) {
  const std::vector<Bytes> motion = {
      WriteOne(1, 0x0042, 100),  WriteOne(1, 0x0043, 1000), WriteOne(1, 0x0044, 500),
      WriteMany(1, 0x0044, {5000, 0, 0, 1000}), WriteOne(1, 0x00AA, 2), WriteOne(1, 0x00AA, 4)};
  {
    ClockedDriver d;
    EXPECT_EQ(d.Status(19), 1) << "a new motor reports 未学习";
    for (const Bytes& request : motion) EXPECT_EQ(d.Send(request), 0x60);
    // Stopping and cancelling are always allowed.
    EXPECT_EQ(d.Send(WriteOne(1, 0x0040, 1)), 0);
    EXPECT_EQ(d.Send(WriteOne(1, 0x00AA, 1)), 0);
    EXPECT_EQ(d.Status(0), 0) << "the motor must not have moved";
  }
  {
    // Learned by a parameter write, as the motor parameter page does.
    ClockedDriver d;
    std::vector<uint16_t> params = Words(d.driver.Respond(Read(1, 0x0060, 23)));
    params[21] = 1;
    ASSERT_EQ(d.Send(WriteMany(1, 0x0060, params)), 0);
    EXPECT_EQ(d.Status(19), 0);
    EXPECT_EQ(d.Send(motion[0]), 0);
  }
  {
    // Learning disabled: the driver runs the motor without it.
    ClockedDriver d;
    d.driver.SetRegister(0x0076, 1);
    EXPECT_EQ(d.Send(motion[1]), 0);
  }
}

TEST(DriverProtocol, LockedConfigurationRefusesParameterWritesButNotCommands) {
  sim::DriverOptions options;
  options.learned = true;
  ClockedDriver d(options);
  std::vector<uint16_t> system = Words(d.driver.Respond(Read(1, 0x0080, 26)));
  system[20] = 1;
  ASSERT_EQ(d.Send(WriteMany(1, 0x0080, system)), 0) << "setting the lock is itself allowed";

  EXPECT_EQ(d.Send(WriteMany(1, 0x0050, {1, 2, 3, 4})), 0x40);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0063, 1)), 0x40);
  EXPECT_EQ(d.Send(WriteMany(1, 0x00A0, std::vector<uint16_t>(10, 0))), 0x40);
  EXPECT_EQ(d.Send(WriteMany(1, 0x00B0, {0, 0, 1, 1})), 0x40);
  EXPECT_EQ(d.Send(WriteMany(1, 0x00BA, std::vector<uint16_t>(18, 0))), 0x40);
  system[0] = 3;
  EXPECT_EQ(d.Send(WriteMany(1, 0x0080, system)), 0x40) << "still locked";
  EXPECT_EQ(d.driver.Register(0x0050), 5);
  EXPECT_EQ(d.driver.Register(0x0080), 0);

  // Reads and commands go on.
  EXPECT_EQ(Words(d.driver.Respond(Read(1, 0x0050, 4))).size(), 4u);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, 200)), 0);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0040, 0)), 0);

  // Clearing the lock from the same block is let through.
  system[20] = 0;
  EXPECT_EQ(d.Send(WriteMany(1, 0x0080, system)), 0);
  EXPECT_EQ(d.driver.Register(0x0080), 3);
  EXPECT_EQ(d.Send(WriteMany(1, 0x0050, {1, 2, 3, 4})), 0);
}

TEST(DriverProtocol, CommandValuesOutsideTheirRangeAreRefused) {
  sim::DriverOptions options;
  options.learned = true;
  ClockedDriver d(options);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0040, 3)), 0x03);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, 1001)), 0x03);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, static_cast<uint16_t>(-1001))), 0x03);
  EXPECT_EQ(d.Send(WriteMany(1, 0x0044, {0, 0, 0, 100})), 0x03);     // frequency 0
  EXPECT_EQ(d.Send(WriteMany(1, 0x0044, {100, 2, 0, 100})), 0x03);   // type 2
  EXPECT_EQ(d.Send(WriteOne(1, 0x00AA, 5)), 0x03);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, static_cast<uint16_t>(-1000))), 0);
}
