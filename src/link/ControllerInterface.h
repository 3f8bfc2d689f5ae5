// What the tool sends the controller and the modules behind it, and the exact
// reply lengths (start byte through CR) it accepts. Every operation takes its
// command codes and lengths from here; the substitute controller answers with
// these same lengths.
//
// A command text is the controller's four-character ID followed by one of
// these codes and its parameters. In every reply the tool reads, positions
// 2-5 of ReplyText hold the answering controller's ID.
#pragma once

namespace ct::link::cmd {

// Connect and identify.
inline constexpr const char* Connect = "AC";        // reply 17: ID at 2-5
inline constexpr const char* Describe = "DB";       // reply 29: model 8-19, version 20-23
inline constexpr const char* SerialNumber = "AS";   // reply 21: serial number 8-15
inline constexpr int ConnectReplyLength = 17;
inline constexpr int DescribeReplyLength = 29;
inline constexpr int SerialNumberReplyLength = 21;

// Controller ID by serial number, always sent with the fixed ID "0000".
inline constexpr const char* AnyControllerId = "0000";
inline constexpr const char* IdBySerial = "AV";     // + serial [+ new ID]; reply 17
inline constexpr int IdBySerialReplyLength = 17;

// Digital inputs and outputs.
inline constexpr const char* ReadInputs = "DG0";    // reply 29: DI1..DI8 at 8-15
inline constexpr int ReadInputsReplyLength = 29;
inline constexpr const char* OutputCommands[4] = {"JC00110002", "JC00210002", "JC00310002", "JC00410002"};
inline constexpr const char* EndOutputs = "JD";     // reply not examined

// Event polling.
inline constexpr const char* Poll = "PI";           // reply 35 (date) or 59 (date and record)
inline constexpr int PollReplyLength = 35;
inline constexpr int PollRecordReplyLength = 59;
inline constexpr const char* Acknowledge = "IB";    // reply not examined

// One-shot commands answered by a short acknowledgement.
inline constexpr const char* SetDateTime = "AA";    // + yyyymmddhhnnss; reply 12 or 13
inline constexpr const char* Alarm = "JF";          // + alarm number 0-6; reply 12 or 13
inline constexpr const char* FactoryReset = "AR01"; // reply 13
inline constexpr const char* Reboot = "AR00";       // reply 13
inline constexpr const char* Line19200 = "AE001002";   // switches to 19200,e,8,1 after answering; reply 13
inline constexpr const char* Line115200 = "AE001400";  // switches to 115200,n,8,1 after answering; reply 13
inline constexpr int AckReplyLength = 13;
inline constexpr int ShortAckReplyLength = 12;

// Module pass-through: "DD" + type letter + module ID + module command.
inline constexpr const char* ModuleCommand = "DD";
inline constexpr const char* ModuleTypeLetters = "ABHIJE";  // by drop-down item index
inline constexpr const char* G4ReadSerial = "S";            // reply 24: serial at 11-18
inline constexpr const char* G4SetId = "0C";                // + serial + new ID; any reply
inline constexpr int G4SerialReplyLength = 24;

// G6 pass-through heads ("DR05", byte count, address mode and function).
inline constexpr const char* G6ReadSerialById = "DR05000688000001";   // + ID %04X; reply 47, serial 30-37
inline constexpr const char* G6ReadIdBySerial = "DR05000884000002";   // + serial; reply 51, ID digit at 41
inline constexpr const char* G6SetIdBySerial = "DR05001084000002";    // + serial serial ID%04X 0000; reply 51
inline constexpr const char* G6ReadCardType = "DR05000688000203";     // + ID %04X; reply 47, words 26-37
inline constexpr const char* G6WriteCardType = "DR05000E88000203";    // + ID and three words + 0000; reply 47
inline constexpr int G6ShortReplyLength = 47;
inline constexpr int G6LongReplyLength = 51;

}  // namespace ct::link::cmd
