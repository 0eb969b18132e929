// The frame decoder on the frames the tool really sends and gets back: each
// register operation runs against the simulated driver, and what went out
// and what came back are decoded as "通讯记录" and `korvelt listen` show them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LinkOnSimulator.h"
#include "TextsInEnglish.h"
#include "decode/FrameMeaning.h"
#include "driver/DriverLink.h"

namespace {

using Bytes = std::vector<uint8_t>;

using DecodeTheToolsFrames = LinkOnSimulator<DriverLink>;

struct Operation {
  const char* what;
  std::function<ModbusResult(DriverLink&)> run;
  std::vector<const char*> request;  // each in the request's text
  std::vector<const char*> answer;   // each in the answer's text
};

void ExpectAll(const std::string& text, const std::vector<const char*>& parts, const char* what) {
  for (const char* part : parts) EXPECT_NE(text.find(part), std::string::npos) << what << ": " << text;
}

// Every block and command the tool reads or writes, by its own operations.
TEST_F(DecodeTheToolsFrames, NamesTheBlockAndEachFieldOfEveryRequestAndAnswer) {
  const Operation operations[] = {
      {"device info", [](DriverLink& l) { DeviceInfoBlock b{}; return l.ReadDeviceInfo(1, b); },
       {"读取 设备信息 (0x0000 起 14 个寄存器)"}, {"设备信息: 设备标识=0x0A31", "设备型号=KVB-4815-RS485-S,", "版本号=1.05"}},
      {"status", [](DriverLink& l) { StatusBlock b{}; return l.ReadStatus(1, b); },
       {"读取 实时状态 (0x0020 起 22 个寄存器)"}, {"实时状态: 输出PWM=", "错误状态=无"}},
      {"identification", [](DriverLink& l) { return l.ReadDeviceIdentification(1, 1, 0); },
       {"读取设备识别码 (读取码 1, 从对象 0 起)"}, {"设备识别码: 公司名称=", "产品代码=KVB-4815", "(后续从对象"}},
      {"ramp write", [](DriverLink& l) { return l.WriteRamp(1, RampBlock{3, 7, 65535, 5000}); },
       {"写入 PWM方式缓冲/闭环方式加速度 (0x0050 起 4 个寄存器): PWM上升缓冲=0.3秒", "加速加速度=6553.5Hz/s"},
       {"已写入 PWM方式缓冲/闭环方式加速度 (0x0050 起 4 个寄存器)"}},
      {"ramp read", [](DriverLink& l) { RampBlock b{}; return l.ReadRamp(1, b); }, {"读取 PWM方式缓冲"},
       {"PWM下降缓冲=0.7秒", "减速加速度=500.0Hz/s"}},
      {"motor read", [](DriverLink& l) { MotorParamBlock b{}; return l.ReadMotorParams(1, b); }, {"读取 电机参数配置"},
       {"额定电流=", "稳速控制算法=", "电机学习状态=已学习", "电机相序数据="}},
      {"system write", [](DriverLink& l) {
         SystemParamBlock b{};
         if (const ModbusResult r = l.ReadSystemParams(1, b); r != ResultSuccess) return r;
         b.pulseRatio = 2.5f;
         b.serialBaudHigh = 0;
         b.serialBaudLow = 14400;
         b.analogOffset = -12;
         return l.WriteSystemParams(1, b);
       },
       {"写入 系统参数配置", "脉冲信号倍率=2.500000", "串口波特率=14400", "x+=-0.012"},
       {"已写入 系统参数配置 (0x0080 起 26 个寄存器)"}},
      {"pid write", [](DriverLink& l) { return l.WritePid(1, PidBlock{1.5f, 0, 0, 0, 0, 0, 0, 0, -0.25f}); },
       {"写入 闭环控制参数", "自锁PID参数 Kp=1.5", "位置PID参数 Kd=-0.25"}, {"已写入 闭环控制参数"}},
      {"reciprocate read", [](DriverLink& l) { ReciprocateBlock b{}; return l.ReadReciprocate(1, b); },
       {"读取 往复过程控制"}, {"复位方式=", "总行程=", "复位时转矩="}},
      {"preset write in torque mode", [](DriverLink& l) { return l.WritePresetSpeed(1, PresetSpeedBlock{1, 0, 150, 5}); },
       {"调速方式=力矩", "正转速度=1.50", "反转速度=0.05"}, {"已写入 预设正反转速度"}},
      {"learning start", [](DriverLink& l) { LearningBlock b{}; b.words[1] = 1; return l.WriteLearningBlock(1, b); },
       {"写入 电机学习 (0x00E0 起 4 个寄存器): 运行标志=运行, 学习状态=0"}, {"已写入 电机学习"}},
      {"learning poll", [](DriverLink& l) { LearningBlock b{}; b.words[4] = 6; return l.ReadLearningBlock(1, b); },
       {"读取 电机学习 (0x00E0 起 11 个寄存器)"}, {"运行标志=", "结果个数=", "电机相序数据="}},
      {"stop", [](DriverLink& l) { return l.WriteStopCommand(1, 1); }, {"写入 停止命令: 停止方式=紧急停止"},
       {"已写入 停止命令: 停止方式=紧急停止"}},
      {"pwm", [](DriverLink& l) { return l.WriteSpeedCommand(1, static_cast<uint16_t>(-250), 0); },
       {"写入 PWM占空比命令: 输出PWM=-25.0%"}, {"已写入 PWM占空比命令"}},
      {"frequency", [](DriverLink& l) { return l.WriteSpeedCommand(1, 1234, 1); },
       {"写入 换向频率命令: 换向频率=123.4Hz"}, {"已写入 换向频率命令"}},
      {"position move", [](DriverLink& l) { return l.WritePositionMove(1, 5000, -70000, 1); },
       {"写入 位置运动命令 (0x0044 起 4 个寄存器): 换向频率=500.0Hz, 位置类型=相对位置, 转动位置=-70000"},
       {"已写入 位置运动命令"}},
      {"reciprocation command", [](DriverLink& l) { return l.WriteSingleRegister(1, RegisterMap::ReciprocateCommand, 4); },
       {"写入 往复运动命令: 操作=测量行程"}, {"已写入 往复运动命令"}},
  };
  for (const Operation& op : operations) {
    ASSERT_EQ(op.run(link), ResultSuccess) << op.what;
    const Bytes request = link.LastSentFrame();
    const Bytes received = link.LastReceivedFrame();
    ExpectAll(decode::DescribeRequest(request).text, op.request, op.what);
    ExpectAll(decode::DescribeReceived(received, request).text, op.answer, op.what);
    // A listener that heard the request first decodes its answer the same.
    decode::Conversation heard;
    heard.Request(request);
    EXPECT_EQ(heard.Answer(received).text, decode::DescribeAnswer(received, request).text) << op.what;
  }
}

Bytes WithCrc(Bytes frame) {
  const uint16_t crc = Crc16Modbus(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

// Each in the language in use: Chinese as it always was, English with the
// values where English puts them (a count before what it counts, one
// register apart from many).
TEST(DecodeStrangeFrames, UnknownRegistersFunctionsAndBrokenFramesAreShownAsSuch) {
  const Frame readUnknown = BuildReadRequest(1, 0x0100, 2);
  const Bytes unknownRequest(readUnknown.bytes.begin(), readUnknown.bytes.begin() + readUnknown.length);
  const Bytes answer = WithCrc({1, 0x03, 4, 0x12, 0x34, 0x00, 0x01});
  Bytes noisy = answer;
  noisy.insert(noisy.begin(), 0x00);
  enum class As { Request, Answer, Received };
  const struct {
    const char* what;
    Bytes frame;
    As as;
    Bytes request;  // of an answer: empty when not known
    const char* says;
    const char* inEnglish;
  } cases[] = {
      {"unknown registers", unknownRequest, As::Request, {}, "读取 未知寄存器 (0x0100 起 2 个寄存器)",
       "Read Unknown registers (2 registers from 0x0100)"},
      {"one register", WithCrc({1, 0x03, 0x01, 0x00, 0x00, 0x01}), As::Request, {},
       "读取 未知寄存器 (0x0100 起 1 个寄存器)", "Read Unknown registers (1 register from 0x0100)"},
      {"their values", answer, As::Answer, unknownRequest, "未知寄存器: 0x0100=0x1234, 0x0101=0x0001",
       "Unknown registers: 0x0100=0x1234, 0x0101=0x0001"},
      {"a gap between two blocks", WithCrc({1, 0x10, 0x00, 0x0D, 0x00, 0x03, 6, 0, 1, 0, 2, 0, 3}), As::Request, {},
       "写入 设备信息、未知寄存器 (0x000D 起 3 个寄存器): 0x000D=0x0001, 0x000E=0x0002, 0x000F=0x0003",
       "Write Device information, Unknown registers (3 registers from 0x000D): 0x000D=0x0001, 0x000E=0x0002, "
       "0x000F=0x0003"},
      {"unknown function", WithCrc({1, 0x41, 0x00}), As::Request, {}, "未知功能码 0x41", "Unknown function code 0x41"},
      {"exception", WithCrc({1, 0x83, 0x02}), As::Answer, unknownRequest,
       "异常应答 02 非法寄存器地址 (读取 未知寄存器 (0x0100 起 2 个寄存器))",
       "Exception answer 02 Illegal register address (Read Unknown registers (2 registers from 0x0100))"},
      {"the driver's own exception", WithCrc({1, 0x86, 0x60}), As::Answer, {},
       "异常应答 60 请先对电机进行学习 (功能码 0x06)", "Exception answer 60 Run motor learning first (function code 0x06)"},
      {"answer whose request is unknown", WithCrc({1, 0x03, 2, 0, 5}), As::Answer, {}, "读取应答: 2 字节数据 (请求未知)",
       "Read answer: 2 bytes of data (request unknown)"},
      {"short count", WithCrc({1, 0x03, 2, 0x12, 0x34}), As::Answer, unknownRequest,
       "未知寄存器 (应答 2 字节, 请求 2 个寄存器): 0x0100=0x1234",
       "Unknown registers (answer of 2 bytes, request for 2 registers): 0x0100=0x1234"},
      {"identification", WithCrc({1, 0x2B, 0x0E, 1, 1, 0xFF, 0x01, 1, 0x00, 3, 'A', 'B', 'C'}), As::Answer, {},
       "设备识别码: 公司名称=ABC (后续从对象 1 起)", "Device identification: Vendor name=ABC (more follow from object 1)"},
      {"truncated write", Bytes{1, 0x10, 0x00}, As::Request, {}, "写入 (帧不完整)", "Write (incomplete frame)"},
      {"one byte", Bytes{1}, As::Request, {}, "不完整的帧", "Incomplete frame"},
      {"noise before the answer", noisy, As::Received, unknownRequest,
       "未知寄存器: 0x0100=0x1234, 0x0101=0x0001 (前有 1 字节干扰)",
       "Unknown registers: 0x0100=0x1234, 0x0101=0x0001 (after 1 byte of noise)"},
  };
  for (const auto& c : cases) {
    const auto text = [&] {
      switch (c.as) {
        case As::Request:
          return decode::DescribeRequest(c.frame).text;
        case As::Answer:
          return decode::DescribeAnswer(c.frame, c.request).text;
        case As::Received:
          break;
      }
      return decode::DescribeReceived(c.frame, c.request).text;
    };
    EXPECT_EQ(text(), c.says) << c.what;
    TextsInEnglish inEnglish;
    EXPECT_EQ(text(), c.inEnglish) << c.what;
  }
}

}  // namespace
