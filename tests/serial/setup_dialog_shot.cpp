// Shows the setup dialog for a look or a screenshot, on a closed port with the program's design
// values. Port names come from the arguments, or from this machine when there are none. Prints
// the dialog's geometry ("WxH+X+Y") once it is on screen. Cancel or close ends it; with
// --close-after MS it closes itself.
//
//   xvfb-run -s "-screen 0 1024x768x24" sh -c 'setup_dialog_shot --close-after 3000 > geo &
//       sleep 2; import -window root root.png; wait'
//   convert root.png -crop "$(cat geo)" +repage docs/setup-dialog.png

#include "serial/CPort.h"
#include "serial/CPortSetup.h"
#include "serial/PortEnumerator.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace memvane;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int closeAfter = -1;
    std::vector<std::string> ports;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--close-after" && i + 1 < argc)
            closeAfter = std::stoi(argv[++i]);
        else
            ports.push_back(arg);
    }
    if (!ports.empty()) {
        SortPortNames(ports);
        SetPortLister([ports] { return ports; });
    }

    TComPort port;
    port.SetPort("COM1");
    port.SetBaudRate(br19200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbOneStopBit);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);

    std::function<void()> report = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<TComSetupFrm*>(w); dlg && dlg->isVisible()) {
                QRect g = dlg->geometry();
                std::printf("%dx%d+%d+%d\n", g.width(), g.height(), g.x(), g.y());
                std::fflush(stdout);
                if (closeAfter >= 0)
                    QTimer::singleShot(closeAfter, dlg, &QDialog::reject);
                return;
            }
        }
        QTimer::singleShot(20, report);
    };
    QTimer::singleShot(0, report);
    try {
        port.ShowSetupDialog();
    } catch (const EComPort& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
