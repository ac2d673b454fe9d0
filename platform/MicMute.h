#pragma once
// The mute switch of the user's default microphone.
//
// Two roads, as on Windows: the sound server (PulseAudio, or PipeWire's Pulse
// server) through libpulse, which always acts on the server's current default
// source, and the ALSA mixer's capture switch when no sound server answers.
// The sound-server road fails silently; the mixer road's failures are meant
// to be shown to the user (ShowsErrors). Every call returns within a bounded
// time, because the monitor calls it on its main thread.

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace hkt::platform {

enum class MicStatus {
    Ok,
    Unavailable,   // no server, card, microphone or default source: nothing to act on
    NoMuteControl, // the microphone line has no mute (capture) switch
    ValueFailed,   // the switch exists but reading or setting it failed
};

struct MicMuteState {
    MicStatus status = MicStatus::Unavailable;
    bool muted = false; // meaningful only when status is Ok
};

class MicMute {
public:
    virtual ~MicMute() = default;
    virtual MicMuteState GetMute() = 0;
    virtual MicStatus SetMute(bool muted) = 0;
    // True when failures of the last road used should be shown to the user.
    virtual bool ShowsErrors() const { return false; }
    // Called on the main thread after a source's mute or the default source
    // changed (the monitor's own changes included). Optional for a road.
    virtual void SetChangeHandler(std::function<void()> handler) { (void)handler; }
};

// libpulse on a threaded main loop. Connects on first use and again after the
// server went away; subscribes to source and server changes.
class PulseMicMute : public MicMute {
public:
    // server: a libpulse server string ("unix:/path"); empty for the default.
    explicit PulseMicMute(QString server = {},
                          std::chrono::milliseconds callLimit = std::chrono::milliseconds(1000));
    ~PulseMicMute() override;
    PulseMicMute(const PulseMicMute &) = delete;
    PulseMicMute &operator=(const PulseMicMute &) = delete;

    // True when a server answers (connecting now if needed).
    bool Connect();
    MicMuteState GetMute() override;
    MicStatus SetMute(bool muted) override;
    void SetChangeHandler(std::function<void()> handler) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The ALSA mixer's capture switch of the "Capture" element (else "Mic") of a
// mixer device. Opened and closed within each call.
class AlsaMicMute : public MicMute {
public:
    explicit AlsaMicMute(QString device = QStringLiteral("default"));
    MicMuteState GetMute() override;
    MicStatus SetMute(bool muted) override;
    bool ShowsErrors() const override { return true; }

private:
    QString m_device;
};

// The system's microphone: the sound server when one answers, else the mixer.
class SystemMicMute : public MicMute {
public:
    SystemMicMute();
    MicMuteState GetMute() override;
    MicStatus SetMute(bool muted) override;
    bool ShowsErrors() const override { return m_road == &m_alsa; }
    void SetChangeHandler(std::function<void()> handler) override { m_pulse.SetChangeHandler(std::move(handler)); }

private:
    PulseMicMute m_pulse;
    AlsaMicMute m_alsa;
    MicMute *m_road = nullptr;
};

// For tests: a microphone whose availability, control and failures are set by hand.
class FakeMicMute : public MicMute {
public:
    MicMuteState GetMute() override
    {
        ++getCalls;
        if (status != MicStatus::Ok)
            return {status, false};
        if (failGet)
            return {MicStatus::ValueFailed, false};
        return {MicStatus::Ok, muted};
    }
    MicStatus SetMute(bool value) override
    {
        ++setCalls;
        if (status != MicStatus::Ok)
            return status;
        if (failSet)
            return MicStatus::ValueFailed;
        muted = value;
        return MicStatus::Ok;
    }
    bool ShowsErrors() const override { return showsErrors; }

    MicStatus status = MicStatus::Ok;
    bool muted = false;
    bool failGet = false;
    bool failSet = false;
    bool showsErrors = false;
    int getCalls = 0;
    int setCalls = 0;
};

} // namespace hkt::platform
