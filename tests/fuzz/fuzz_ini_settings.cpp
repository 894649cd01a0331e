// "ComPort.ini" as the program meets it: arbitrary file contents loaded into a port on the
// recording fake backend (open or closed, any choice of stored groups), then stored back the way
// the program does at close. Invariants:
//   - LoadSettings either takes the file or fails with EComPort; nothing else escapes;
//   - what a port loaded, it can store again, into the same file (whatever else that file holds)
//     and into a new one; a fresh port loading either file ends with the same settings, and two
//     stores of the same settings into new files are the same bytes;
//   - IniFile: a value written is read back (blanks around it dropped, cut to 2047 bytes), also
//     after Flush by a new reader, or the write is refused with std::invalid_argument.

#include "serial/CPort.h"
#include "serial/ComSettingsText.h"
#include "serial/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeComBackend.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>

using namespace memvane;
using namespace memvane::fuzz;

namespace {

const char* const kKeys[] = {"Port",
                             "BaudRate",
                             "CustomBaudRate",
                             "StopBits",
                             "DataBits",
                             "Parity",
                             "FlowControl",
                             "EventChar",
                             "DiscardNull",
                             "Parity.Check",
                             "Parity.Replace",
                             "Parity.ReplaceChar",
                             "Buffer.OutputSize",
                             "Buffer.InputSize",
                             "Timeouts.ReadInterval",
                             "Timeouts.ReadTotalConstant",
                             "Timeouts.ReadTotalMultiplier",
                             "Timeouts.WriteTotalConstant",
                             "Timeouts.WriteTotalMultiplier",
                             "FlowControl.ControlRTS",
                             "FlowControl.ControlDTR",
                             "FlowControl.DSRSensitivity",
                             "FlowControl.OutCTSFlow",
                             "FlowControl.OutDSRFlow",
                             "FlowControl.TxContinueOnXoff",
                             "FlowControl.XonXoffIn",
                             "FlowControl.XonXoffOut",
                             "FlowControl.XoffChar",
                             "FlowControl.XonChar"};

// Every value the settings file can carry, as one comparable text.
std::string snapshot(const TCustomComPort& p)
{
    std::ostringstream s;
    const TComParity& par = p.Parity();
    const TComFlowControl& f = p.FlowControl();
    const TComTimeouts& t = p.Timeouts();
    s << p.Port() << '|' << p.BaudRate() << '|' << p.CustomBaudRate() << '|' << p.StopBits() << '|'
      << p.DataBits() << '|' << int(p.EventChar()) << '|' << p.DiscardNull() << '|' << par.Bits()
      << par.Check() << par.Replace() << int(par.ReplaceChar()) << '|' << p.Buffer().InputSize()
      << ',' << p.Buffer().OutputSize() << '|' << t.ReadInterval() << ',' << t.ReadTotalConstant()
      << ',' << t.ReadTotalMultiplier() << ',' << t.WriteTotalConstant() << ','
      << t.WriteTotalMultiplier() << '|' << f.ControlRTS() << f.ControlDTR() << f.DSRSensitivity()
      << f.OutCTSFlow() << f.OutDSRFlow() << f.TxContinueOnXoff() << f.XonXoffIn() << f.XonXoffOut()
      << int(f.XoffChar()) << ',' << int(f.XonChar());
    return s.str();
}

std::string trimmedValue(const std::string& v)
{
    size_t b = v.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = v.find_last_not_of(" \t");
    std::string out = v.substr(b, e - b + 1);
    if (out.size() > IniFile::MaxValueLength)
        out.resize(IniFile::MaxValueLength);
    return out;
}

void iniRoundTrip(FuzzedDataProvider& fdp, const std::string& path)
{
    static const char* const kSections[] = {"ComPort1", "comport1", "Other"};
    const std::string section = fdp.PickValueInArray(kSections);
    std::string key = fdp.ConsumeBool() ? std::string(fdp.PickValueInArray(kKeys))
                                        : fdp.ConsumeRandomLengthString(16);
    const std::string value = fdp.ConsumeRandomLengthString(3000);
    if (key.empty() || key.front() == ' ' || key.front() == '\t' || key.back() == ' ' ||
        key.back() == '\t')
        return; // keys are trimmed when written; the program's keys never have blanks

    IniFile ini(path);
    try {
        ini.WriteString(section, key, value);
    } catch (const std::invalid_argument&) {
        FUZZ_CHECK(key.find_first_of("\r\n=") != std::string::npos ||
                   value.find_first_of("\r\n") != std::string::npos || key[0] == '[' ||
                   key[0] == ';' || key[0] == '#');
        return;
    }
    const std::string expected = trimmedValue(value);
    FUZZ_CHECK(ini.ReadString(section, key,
                              "\x01"
                              "fallback") == expected);
    ini.Flush();
    IniFile reread(path);
    FUZZ_CHECK(reread.ReadString(section, key,
                                 "\x01"
                                 "fallback") == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const TStoredProps props = TStoredProps::FromBits(fdp.ConsumeIntegral<uint8_t>() & 0x3F);
    const bool open = fdp.ConsumeBool();
    const bool iniWrite = fdp.ConsumeBool();
    const std::string contents = fdp.ConsumeRandomLengthString(1 << 14);

    const ScratchDir& dir = ScratchDir::get();
    const std::string path = dir.file("ComPort.ini");
    writeFile(path, contents);

    if (iniWrite) {
        iniRoundTrip(fdp, path);
        return 0;
    }

    auto backend = std::make_shared<test::FakeComBackend>();
    TComPort a("ComPort1", backend);
    a.SetStoredProps(props);
    if (open)
        a.Open();
    try {
        a.LoadSettings(stIniFile, path);
    } catch (const EComPort& e) {
        FUZZ_CHECK(e.Code() == CError_LoadFailed || e.Code() == CError_OpenFailed ||
                   e.Code() == CError_SetStateFailed || e.Code() == CError_SetupComFailed ||
                   e.Code() == CError_TimeoutsFailed);
        return 0;
    }
    const std::string loaded = snapshot(a);

    // At close the program stores into the file it loaded from.
    a.StoreSettings(stIniFile, path);
    a.StoreSettings(stIniFile, dir.file("fresh-a.ini"));
    a.Close();
    FUZZ_CHECK(snapshot(a) == loaded);

    TComPort b("ComPort1", backend);
    b.SetStoredProps(props);
    b.LoadSettings(stIniFile, path);
    FUZZ_CHECK(snapshot(b) == loaded);

    TComPort c("ComPort1", backend);
    c.SetStoredProps(props);
    c.LoadSettings(stIniFile, dir.file("fresh-a.ini"));
    FUZZ_CHECK(snapshot(c) == loaded);
    c.StoreSettings(stIniFile, dir.file("fresh-c.ini"));
    FUZZ_CHECK(readFile(dir.file("fresh-a.ini")) == readFile(dir.file("fresh-c.ini")));
    std::remove(dir.file("fresh-a.ini").c_str());
    std::remove(dir.file("fresh-c.ini").c_str());
    return 0;
}
