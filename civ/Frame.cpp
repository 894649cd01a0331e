#include "civ/Frame.h"

#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "core/Numbers.h"

namespace memvane {

uint8_t radioAddress(const std::string& civaddr)
{
    return static_cast<uint8_t>(StrToInt(civaddr) & 0xFF);
}

std::string buildFrame(uint8_t radio, std::string_view body)
{
    std::string frame = bytesOf({civ::Preamble, civ::Preamble, radio, civ::ControllerAddress});
    frame += body;
    frame += static_cast<char>(civ::EndOfMessage);
    return frame;
}

std::string expectedText(const std::string& civhex, std::string_view suffix)
{
    return toHexText(bytesOf({civ::Preamble, civ::Preamble, civ::ControllerAddress})) + civhex +
           std::string(suffix);
}

std::string refusedText(const std::string& civhex)
{
    return expectedText(civhex, hexByte(civ::Ng));
}

} // namespace memvane
