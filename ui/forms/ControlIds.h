// Control ids of the main window and the about box. Tests and the
// data-exchange tables find controls by these numbers.
#pragma once

namespace forms::ids {

// About box
constexpr int AboutOk = 1;

// Connection panel
constexpr int PortCombo = 1001;
constexpr int BaudCombo = 1002;
constexpr int ParityCombo = 1003;
constexpr int FirstAddressSwitch = 1004;  // switches "1".."7" are 1004..1010
constexpr int AddressSwitchCount = 7;
constexpr int OpenPortButton = 1011;

// Tab control of the five pages
constexpr int PageTab = 1012;

// Device information
constexpr int ReadInfoButton = 1013;
constexpr int OemInfoButton = 1014;
constexpr int DeviceId = 1018;
constexpr int Model = 1019;
constexpr int Version = 1020;
constexpr int PwmResolution = 1021;
constexpr int PwmFrequency = 1022;
constexpr int MaxCurrent = 1023;
constexpr int CurrentResolution = 1024;

// Status monitor and traffic display
constexpr int AutoUpdate = 1015;
constexpr int SentFrame = 1016;
constexpr int ReceivedFrame = 1017;
constexpr int OutputPwm = 1025;
constexpr int PhaseCurrent = 1026;
constexpr int CommutationFrequency = 1027;
constexpr int Position = 1028;
constexpr int CompletionTime = 1029;
constexpr int In1Voltage = 1030;
constexpr int In2Voltage = 1031;
constexpr int In3Voltage = 1032;
constexpr int DifferentialVoltage = 1033;
constexpr int Sq1Level = 1034;
constexpr int Sq2Level = 1035;
constexpr int InputPwm = 1036;
constexpr int InputFrequency = 1037;
constexpr int InputPulses = 1038;
constexpr int CompletionState = 1039;
constexpr int MotorSpeed = 1040;
constexpr int ErrorState = 1041;
// The communication statistics line under the traffic display
constexpr int StatisticsLine = 1042;

}  // namespace forms::ids
