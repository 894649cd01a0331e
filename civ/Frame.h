#pragma once
// Command frames and the hex texts their replies are checked against. Pure functions: the
// exchange (civ/Exchange.h) does the talking.
//
//     buildFrame(0x58, bytesOf({0x08, 0x00, 0x42}))  ->  FE FE 58 E0 08 00 42 FD
//     expectedText("58", "FB")                        ->  "FEFEE058FB"
//     refusedText("58")                               ->  "FEFEE058FA"

#include <cstdint>
#include <string>
#include <string_view>

namespace memvane {

// The radio's address byte from the program state's "$hh" text. Throws EConvertError for a text
// that is no number; only the low byte is used.
uint8_t radioAddress(const std::string& civaddr);

// FE FE <radio> E0 <body> FD.
std::string buildFrame(uint8_t radio, std::string_view body);

// "FEFEE0" + civhex + suffix: what a good reply must contain. The suffix is "FB" for commands
// that only set something, the command byte's hex text for data reads, or empty when any answer
// will do.
std::string expectedText(const std::string& civhex, std::string_view suffix);
// "FEFEE0" + civhex + "FA": the radio refused.
std::string refusedText(const std::string& civhex);

} // namespace memvane
