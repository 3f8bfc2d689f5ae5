// What the tool sends the controller and the modules behind it, and the exact
// reply lengths (start byte through CR) it accepts. Every operation takes its
// command codes and lengths from here; the substitute controller (sim/) takes
// the same codes from here and answers with these same lengths.
//
// A command text is the controller's four-character ID followed by one of
// these codes and its parameters. In every reply the tool reads, positions
// 2-5 of ReplyText hold the answering controller's ID. Positions are 1-based,
// position 1 being the reply's start byte; a CRC reply of L bytes
// carries L - 7 characters of reply text.
#pragma once

namespace ct::link::cmd {

// Widths of the fields that commands carry and replies are read by.
inline constexpr int ControllerIdLength = 4;   // every command's first characters, reply 2-5
inline constexpr int ModelNameLength = 12;     // "DB" reply, model name setting
inline constexpr int VersionLength = 4;        // "DB" reply, model name setting
inline constexpr int SerialNumberLength = 8;   // controllers' and modules' serial numbers
inline constexpr int InputCount = 8;           // DI1..DI8 in the "DG0" reply
inline constexpr int DateTimeLength = 14;      // yyyymmddhhnnss: "AA" parameter, "PI" reply

// Connect and identify.
inline constexpr const char* Connect = "AC";        // reply 17: ID at 2-5
inline constexpr const char* Describe = "DB";       // reply 29: model 8-19, version 20-23
inline constexpr const char* SerialNumber = "AS";   // reply 21: serial number 8-15
inline constexpr int ConnectReplyLength = 17;
inline constexpr int DescribeReplyLength = 29;
inline constexpr int SerialNumberReplyLength = 21;

// Controller ID by serial number, always sent with the fixed ID "0000".
inline constexpr const char* AnyControllerId = "0000";
inline constexpr const char* IdBySerial = "AV";     // + serial [+ new ID]; reply 17, ID at 2-5
inline constexpr int IdBySerialReplyLength = 17;

// Digital inputs and outputs.
inline constexpr const char* ReadInputs = "DG0";    // reply 29: DI1..DI8 at 8-15
inline constexpr int ReadInputsReplyLength = 29;
inline constexpr int OutputCount = 4;               // DO1..DO4
// "JC", the output number as three digits, "10002"; replies not examined.
inline constexpr const char* OutputCommands[OutputCount] = {"JC00110002", "JC00210002", "JC00310002", "JC00410002"};
inline constexpr const char* EndOutputs = "JD";     // reply not examined

// Event polling.
inline constexpr const char* Poll = "PI";           // reply 35: date and time 8-21; 59: and a record 30-53
inline constexpr int PollReplyLength = 35;
inline constexpr int PollRecordReplyLength = 59;
inline constexpr const char* Acknowledge = "IB";    // acknowledges the record of the last poll; reply not examined

// One-shot commands answered by a short acknowledgement.
inline constexpr const char* SetDateTime = "AA";    // + yyyymmddhhnnss; reply 12 or 13
inline constexpr const char* Alarm = "JF";          // + alarm number, one digit; reply 12 or 13
inline constexpr int AlarmCount = 7;                // alarm numbers 0 (alarm off) to 6
inline constexpr const char* FactoryReset = "AR01"; // reply 13
inline constexpr const char* Reboot = "AR00";       // reply 13
inline constexpr const char* Line19200 = "AE001002";   // switches to 19200,e,8,1 after answering; reply 13
inline constexpr const char* Line115200 = "AE001400";  // switches to 115200,n,8,1 after answering; reply 13
inline constexpr const char* Line19200Settings = "19200,e,8,1";     // the line that Line19200 selects
inline constexpr const char* Line115200Settings = "115200,n,8,1";   // the line that Line115200 selects
// + model name (ModelNameLength characters) [+ version]: the serial-number
// code with parameters; reply 13.
inline constexpr const char* SetModelName = SerialNumber;
inline constexpr int AckReplyLength = 13;           // reply text: the ID and two characters
inline constexpr int ShortAckReplyLength = 12;      // reply text: the ID and one character

// Module pass-through: "DD" + type letter + module ID + module command.
inline constexpr const char* ModuleCommand = "DD";
inline constexpr const char* ModuleTypeLetters = "ABHIJE";  // by drop-down item index
inline constexpr const char* G4ReadSerial = "S";            // reply 24: serial at 11-18
inline constexpr const char* G4SetId = "0C";                // + serial + new ID; any reply
inline constexpr int G4SerialReplyLength = 24;

// G6 pass-through heads: the channel "DR05", the byte count of what follows
// (four hex digits), then the address mode (88 by ID, 84 by serial number)
// and the function.
inline constexpr const char* G6PassThrough = "DR05";
inline constexpr const char* G6ReadSerialById = "DR05000688000001";   // + ID %04X; reply 47, serial 30-37
inline constexpr const char* G6ReadIdBySerial = "DR05000884000002";   // + serial; reply 51, ID digit at 41
inline constexpr const char* G6SetIdBySerial = "DR05001084000002";    // + serial serial ID%04X 0000; reply 51
inline constexpr const char* G6ReadCardType = "DR05000688000203";     // + ID %04X; reply 47, words 26-37
inline constexpr const char* G6WriteCardType = "DR05000E88000203";    // + ID and three words + 0000; reply 47
inline constexpr int G6HeadLength = 16;
inline constexpr int G6ShortReplyLength = 47;
inline constexpr int G6LongReplyLength = 51;

// The three boot loaders behind the application. Block addresses are
// four hex digits, upper case for the 512-byte loader and lower case for the
// other two; block data is two upper-case hex digits per byte.
namespace loader {
// 512-byte loader: every command is DeviceID + code, CRC framing.
inline constexpr const char* Enter512 = "Zx33BB";
inline constexpr const char* Program512 = "Zp";   // + address %04X + 1024 data characters
inline constexpr const char* Verify512 = "Zv";    // + address %04X; data at reply 8-1031
inline constexpr const char* Start512 = "ZrAA55";
inline constexpr int DataAt512 = 8;
// 256-byte loader: entered with DeviceID + "ZxA5" (CRC), then DeviceID +
// code in XOR framing with ETX replies.
inline constexpr const char* Enter256 = "ZxA5";
inline constexpr const char* Probe = "A";        // 256: reply 17; 64: reply 13
inline constexpr const char* Erase = "E";        // 256: + address %04x, before every even block; 64: once
inline constexpr const char* Program = "P";      // + address %04x + data
inline constexpr const char* Verify = "R";       // + address %04x; data at 256: 7-518, 64: 3-130
inline constexpr const char* Start = "X";
inline constexpr int ProbeReplyLength256 = 17;
inline constexpr int DataAt256 = 7;
// 64-byte loader: entered with DeviceID + "Zx" (CRC), then bare codes in
// XOR framing.
inline constexpr const char* Enter64 = "Zx";
inline constexpr int ProbeReplyLength64 = 13;
inline constexpr int DataAt64 = 3;
}  // namespace loader

}  // namespace ct::link::cmd
