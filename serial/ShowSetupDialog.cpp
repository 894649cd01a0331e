// TCustomComPort::ShowSetupDialog, kept apart from CPort.cpp so the component's core needs no
// widgets.

#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "serial/CPortSetup.h"

#include <exception>
#include <memory>

namespace memvane {

void TCustomComPort::ShowSetupDialog()
{
    // Reading the port list may throw (code 23): then nothing is shown and nothing changes.
    auto dialog = std::make_unique<TComSetupFrm>();
    TComComboBox* const boxes[] = {dialog->Combo1, dialog->Combo2, dialog->Combo3,
                                   dialog->Combo4, dialog->Combo5, dialog->Combo6};
    for (TComComboBox* box : boxes)
        box->SetComPort(this);
    for (TComComboBox* box : boxes)
        box->UpdateSettings();

    if (dialog->exec() != QDialog::Accepted)
        return;

    // Every box is applied even when one fails: a port that cannot be reopened must not lose
    // the line settings chosen with it. The first error is the one the caller sees.
    BeginUpdate();
    std::exception_ptr failure;
    for (TComComboBox* box : boxes) {
        try {
            box->ApplySettings();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    try {
        EndUpdate();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace memvane
