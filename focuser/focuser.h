// Focuser: the automation object that clients call. A focuser-shaped read-out
// of station and setting values; all state it touches is shared (the settings
// and the FocuserContext), so every instance sees the same values. Members
// raise FocuserError.
#pragma once

#include "focuser/focuser_context.h"

#include <cstdint>

class Focuser {
public:
    // A counted object belongs to a client (creation and release are counted in
    // a client-started program); an uncounted one serves calls made by a client
    // that holds no object of its own.
    enum class Lifetime { Counted, Uncounted };

    explicit Focuser(FocuserContext &context, Lifetime lifetime = Lifetime::Counted);
    ~Focuser();
    Focuser(const Focuser &) = delete;
    Focuser &operator=(const Focuser &) = delete;

    // The program is ending with the client still attached: its release is not
    // counted, so the last-client shutdown does not run a second time.
    void abandon() { m_lifetime = Lifetime::Uncounted; }

    bool Absolute();
    bool IsMoving();
    bool Link();
    void setLink(bool value);
    double MaxIncrement();
    int32_t WindSpeedCloseD();
    double WindCurrent();
    double WindSpeedWarn();
    bool TempComp();
    void setTempComp(bool value);
    bool TempCompAvailable();
    double Temperature();
    void Halt();
    void SetupDialog();
    void Move(int32_t target);
    void do_tempcomp();

private:
    void Class_Initialize();
    void Class_Terminate();
    void CheckConnected();

    FocuserContext &m_ctx;
    Lifetime m_lifetime;
};
