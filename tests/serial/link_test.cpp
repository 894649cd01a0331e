// How a port tells its registered links about line events: every link that has a handler for
// the event, in the order they registered, before the port's own handler, and from the list as
// it was when the event began (a handler may unregister a link).

#include "serial/CPort.h"
#include "serial/ComBackend.h"
#include "tests/support/FakeComBackend.h"

#include <gtest/gtest.h>

namespace memvane {
namespace {

using Calls = std::vector<std::string>;

// A link that logs every event it hears as "<name>:<event>".
void listen(TComLink& link, const std::string& name, Calls& log)
{
    auto flag = [&log, name](const char* what) {
        return [&log, name, what](TCustomComPort*, bool on) {
            log.push_back(name + ":" + what + (on ? "1" : "0"));
        };
    };
    auto note = [&log, name](const char* what) {
        return [&log, name, what](TCustomComPort*) { log.push_back(name + ":" + what); };
    };
    link.OnTx = flag("tx");
    link.OnTxEmpty = note("txempty");
    link.OnRing = note("ring");
    link.OnCTSChange = flag("cts");
    link.OnDSRChange = flag("dsr");
    link.OnRxFlag = note("flag");
    link.OnRLSDChange = flag("rlsd");
}

TEST(PortLinks, EveryLinkInRegistrationOrderBeforeThePortFromTheListAsItWas)
{
    Calls log;
    TComLink first, silent, last;
    auto fake = std::make_shared<test::FakeComBackend>();
    TComPort port{"ComPort1", fake};
    port.SetEvents({}); // no event thread: the test hands the events over itself
    listen(first, "first", log);
    listen(last, "last", log);
    bool lastRegistered = true;
    first.OnRing = [&](TCustomComPort* sender) {
        log.push_back("first:ring");
        if (lastRegistered)
            sender->UnRegisterLink(&last); // still told of this ring, of nothing after it
        lastRegistered = false;
    };
    port.OnRing = [&](TCustomComPort*) { log.push_back("port:ring"); };
    port.RegisterLink(&first);
    port.RegisterLink(&silent); // has no handlers: skipped
    port.RegisterLink(&last);
    port.Open();
    fake->setModemStatus(MS_CTS_ON | MS_RLSD_ON);
    log.clear();

    port.HandleEvents({evTxEmpty, evRing, evCTS, evDSR, evRxFlag, evRLSD});
    EXPECT_EQ(log, (Calls{"first:tx0", "last:tx0", "first:txempty", "last:txempty", "first:ring",
                          "last:ring", "port:ring", "first:cts1", "first:dsr0", "first:flag",
                          "first:rlsd1"}));
    log.clear();
    port.HandleEvents({evRing});
    EXPECT_EQ(log, (Calls{"first:ring", "port:ring"}));
    port.Close();
    port.UnRegisterLink(&silent);
    port.UnRegisterLink(&first);
}

} // namespace
} // namespace memvane
