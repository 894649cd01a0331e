#pragma once
// The CI-V vocabulary of the IC-706 family, in one place. A frame on the line is
//
//     FE FE <to> <from> <command> [sub-command] [data...] FD
//
// The program (controller) is E0; the radio is 58H unless the user picks 48H or 4EH. The line
// is shared, so every frame we send comes straight back to us before the radio's answer. The
// radio answers FB (accepted), FA (refused) or repeats the command byte followed by its data.
// Unsolicited transceive broadcasts go to address 00.

#include <cstdint>

namespace memvane::civ {

inline constexpr uint8_t Preamble = 0xFE;
inline constexpr uint8_t EndOfMessage = 0xFD;
inline constexpr uint8_t ControllerAddress = 0xE0;
inline constexpr uint8_t BroadcastAddress = 0x00;
inline constexpr uint8_t DefaultRadioAddress = 0x58;

// Status bytes in the radio's answer.
inline constexpr uint8_t Ok = 0xFB;
inline constexpr uint8_t Ng = 0xFA;

// Commands.
inline constexpr uint8_t TransceiveFrequency = 0x00; // broadcast: five frequency bytes
inline constexpr uint8_t TransceiveMode = 0x01;      // broadcast: mode byte, filter byte
inline constexpr uint8_t ReadFrequency = 0x03;       // reply: five frequency bytes
inline constexpr uint8_t ReadMode = 0x04;            // reply: mode byte, filter byte
inline constexpr uint8_t SetFrequency = 0x05;        // data: five frequency bytes
inline constexpr uint8_t SetMode = 0x06;             // data: mode byte, filter byte
inline constexpr uint8_t SelectVfo = 0x07;           // sub: VfoA / VfoB
inline constexpr uint8_t SelectMemory = 0x08;        // alone: memory mode; data hh ll: memory
inline constexpr uint8_t MemoryWrite = 0x09;         // store the VFO's settings in the memory
inline constexpr uint8_t MemoryToVfo = 0x0A;
inline constexpr uint8_t MemoryClear = 0x0B; // empty the selected memory
inline constexpr uint8_t ReadOffset = 0x0C;  // reply: three offset bytes
inline constexpr uint8_t SetOffset = 0x0D;   // data: three offset bytes, as ReadOffset gives
inline constexpr uint8_t SplitDuplex = 0x0F; // sub: one of the split/duplex codes

// Sub-commands.
inline constexpr uint8_t VfoA = 0x00;
inline constexpr uint8_t VfoB = 0x01;
inline constexpr uint8_t SplitOff = 0x00;
inline constexpr uint8_t SplitOn = 0x01;
inline constexpr uint8_t DuplexOff = 0x10;
inline constexpr uint8_t DuplexMinus = 0x11;
inline constexpr uint8_t DuplexPlus = 0x12;

// The exchange looks at no more than this many received bytes per command.
inline constexpr int MaxReplyBytes = 200;

} // namespace memvane::civ
