#pragma once
// The assignable value objects of a port: parity, flow control, timeouts and queue sizes. Each
// tells its port to re-apply its group of settings after every change.

#include "serial/CPortTypes.h"

namespace memvane {

class TCustomComPort;

// Base of the assignable value objects. A value object belongs to at most one port, so it
// cannot be copied; Assign copies the values.
class TComPersistent
{
public:
    TComPersistent() = default;
    TComPersistent(const TComPersistent&) = delete;
    TComPersistent& operator=(const TComPersistent&) = delete;
    virtual ~TComPersistent() = default;
    virtual const char* ClassName() const = 0;
    // Copies every value of Source; a Source of another class raises EConvertError
    // "Cannot assign a <Source class> to a <this class>".
    virtual void Assign(const TComPersistent& Source);
    // The port this object belongs to, or null.
    TCustomComPort* ComPort() const { return FComPort; }

protected:
    [[noreturn]] void AssignError(const TComPersistent& Source) const;
    // Source as this object's own class T, or the error of Assign.
    template <typename T> const T& assignable(const TComPersistent& Source) const
    {
        auto* src = dynamic_cast<const T*>(&Source);
        if (!src)
            AssignError(Source);
        return *src;
    }

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
};

class TComParity : public TComPersistent
{
public:
    const char* ClassName() const override { return "TComParity"; }
    void Assign(const TComPersistent& Source) override;

    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits Value);
    bool Check() const { return FCheck; }
    void SetCheck(bool Value);
    bool Replace() const { return FReplace; }
    void SetReplace(bool Value);
    TComChar ReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(TComChar Value);

private:
    void changed();
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    TComChar FReplaceChar = 0;
};

class TComFlowControl : public TComPersistent
{
public:
    const char* ClassName() const override { return "TComFlowControl"; }
    void Assign(const TComPersistent& Source) override;

    bool OutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool Value);
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool Value);
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool Value);
    bool DSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool Value);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    TComChar XonChar() const { return FXonChar; }
    void SetXonChar(TComChar Value);
    TComChar XoffChar() const { return FXoffChar; }
    void SetXoffChar(TComChar Value);

    // The summary of RTS, CTS and XON/XOFF values; setting it rewrites those values (fcCustom
    // changes none) and re-applies the line settings in every case.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

private:
    void changed();
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    TComChar FXonChar = 17;
    TComChar FXoffChar = 19;
};

class TComTimeouts : public TComPersistent
{
public:
    const char* ClassName() const override { return "TComTimeouts"; }
    void Assign(const TComPersistent& Source) override;

    int ReadInterval() const { return FReadInterval; }
    void SetReadInterval(int Value);
    int ReadTotalMultiplier() const { return FReadTotalM; }
    void SetReadTotalMultiplier(int Value);
    int ReadTotalConstant() const { return FReadTotalC; }
    void SetReadTotalConstant(int Value);
    int WriteTotalMultiplier() const { return FWriteTotalM; }
    void SetWriteTotalMultiplier(int Value);
    int WriteTotalConstant() const { return FWriteTotalC; }
    void SetWriteTotalConstant(int Value);

private:
    void changed();
    int FReadInterval = -1;
    int FReadTotalM = 0;
    int FReadTotalC = 0;
    int FWriteTotalM = 100;
    int FWriteTotalC = 1000;
};

class TComBuffer : public TComPersistent
{
public:
    const char* ClassName() const override { return "TComBuffer"; }
    void Assign(const TComPersistent& Source) override;

    // An odd positive size is stored less one (4097 becomes 4096).
    int InputSize() const { return FInputSize; }
    void SetInputSize(int Value);
    int OutputSize() const { return FOutputSize; }
    void SetOutputSize(int Value);

private:
    void changed();
    int FInputSize = 1024;
    int FOutputSize = 1024;
};

// Sets `field` to `value` and says whether that changed it (a setter re-applies only then).
template <typename T> bool storeChanged(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace memvane
