#pragma once
// TComSetupFrm: the small modal dialog in which the user picks a serial port and its basic line
// settings. Six TComComboBox (port, baud rate, data bits, stop bits, parity, flow control) in a
// group box, OK and Cancel. The dialog itself applies nothing: TCustomComPort::ShowSetupDialog
// binds the boxes, runs it and, after OK, applies the boxes inside one update block.
//
// Built for one use: the port list is read when the dialog is made (EComPort code 23 when the
// system has no serial port), and the dialog is freed when it closes. Main thread only.

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace memvane {

class TComComboBox;

class TComSetupFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TComSetupFrm(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    TComComboBox* Combo1;
    TComComboBox* Combo2;
    TComComboBox* Combo3;
    TComComboBox* Combo4;
    TComComboBox* Combo5;
    TComComboBox* Combo6;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace memvane
