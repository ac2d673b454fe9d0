#pragma once
// The firmware model of the simulated mouse: the device side of the
// configuration protocol. Feature reports 2 to 6 carry an 8-byte command
// header (the wire drops its last byte) and a payload; memory writes and reads
// reach a 64 KiB memory laid out as the host's memory map; short commands set
// live state; input reports 7 (key mask) and 8 (profile, DPI level, rate) go
// out when something happens "on the mouse".
//
// The model is written from the protocol's description, not from the host's
// code, so the two check each other. Only its factory memory comes from the
// suite (FactoryMemory): it is what the suite's encoders make of the suite's
// factory profiles. A strict mode records every host mistake
// (it still answers, as a lenient device would); a log keeps every report;
// faults can be injected (fail a transfer, unplug, plug).
//
// Thread-safe: every public call takes the model's lock. Listeners are called
// after the lock is released, in the order the events happened, on the thread
// whose call caused them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace hkt::sim {

// Windows-style results, as a HID transfer reports them.
inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kGenFailure = 31;        // the device stalled the transfer
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kNotConnected = 1167;

inline constexpr std::size_t kMemorySize = 0x10000;
inline constexpr int kProfiles = 5;
inline constexpr int kMacroSlots = 30;

// The memory map as the mouse keeps it.
inline constexpr std::uint16_t kActiveProfileAddr = 0x43;
inline constexpr std::uint16_t RateAddr(int p) { return static_cast<std::uint16_t>(0x48 + p); }
inline constexpr std::uint16_t DpiTableAddr(int p) { return static_cast<std::uint16_t>(p * 256 + 0x4F); }
inline constexpr std::uint16_t ButtonMapAddr(int p) { return static_cast<std::uint16_t>(p * 256 + 0x90); }
inline constexpr std::uint16_t LightAddr(int p) { return static_cast<std::uint16_t>(p * 256 + 0xF1); }
inline constexpr std::uint16_t MacroSlotAddr(int m) { return static_cast<std::uint16_t>(0x500 + m * 200); }
inline constexpr std::size_t kDpiTableSize = 42;
inline constexpr std::size_t kButtonMapSize = 57;
inline constexpr std::size_t kLightSize = 6;
inline constexpr std::size_t kMacroSlotSize = 180;

// Name of the map region that holds [addr, addr+len) whole, or empty when the
// range is not inside one region.
std::string MapRegionOf(std::uint32_t addr, std::uint32_t len);

enum class LogKind : std::uint8_t {
    SetFeature = 1, // host to mouse
    GetFeature = 2, // mouse to host (the answer)
    Input = 3,      // input report, mouse to host
    Unplug = 4,
    Plug = 5,
};

struct LogEntry {
    std::uint64_t seq = 0;
    LogKind kind = LogKind::SetFeature;
    std::uint32_t status = kOk;
    std::vector<std::uint8_t> bytes; // the whole report, ID first
};

struct Violation {
    std::uint64_t seq = 0; // the log entry it belongs to
    std::string what;
};

struct TransferStats {
    std::uint64_t setReports = 0, setBytes = 0;
    std::uint64_t getReports = 0, getBytes = 0;
    std::uint64_t inputReports = 0;
};

// An event for listeners: an input report (8 bytes, ID first), or a plug
// state change (bytes empty).
struct MouseEvent {
    enum class Type : std::uint8_t { Input, Unplugged, Plugged } type = Type::Input;
    std::vector<std::uint8_t> bytes;
};

// The memory of a mouse fresh from the factory: every profile's button map,
// light block, DPI table and polling-rate code as APPLY writes the suite's
// factory profile of that index, profile 0 active, the macro area empty (no
// factory profile plays a macro). A fresh window and a fresh mouse so agree
// on the profiles an APPLY does not write.
const std::vector<std::uint8_t> &FactoryMemory();

class VirtualMouse {
public:
    // In the factory state (FactoryMemory).
    VirtualMouse();

    // Host side. `report` is the whole feature report, ID first. Returns 0 or
    // a Windows-style code (1167 unplugged, 31 refused or injected failure).
    std::uint32_t SetFeature(std::span<const std::uint8_t> report);
    // Fills `report` (its size is the length the host asks for; byte 0 is the
    // report ID the host asks for). On failure `report` is left as it was.
    // `received` (when given) is the number of bytes the answer filled: the
    // report's own length when the host asked for more.
    std::uint32_t GetFeature(std::span<std::uint8_t> report, std::size_t *received = nullptr);

    // On the mouse. Each sends its input report(s) to the listeners.
    bool Press(int key);           // key 0..23: a key report with that bit, then the release
    bool SetProfile(int profile);  // 0..4: 0x43 and report 8 sub 1
    bool SetDpiLevel(int level);   // 0..4: the active profile's table byte 1, report 8 sub 2
    bool SetRateCode(int code);    // 1, 2, 4 or 8: 0x48 + active profile, report 8 sub 6

    // Faults.
    void Unplug();
    void Plug();
    bool Plugged() const;
    // The next `succeeding` transfers work, then `failing` transfers fail with
    // 31 (0 failing clears the injection).
    void FailAfter(std::uint32_t succeeding, std::uint32_t failing = 1);

    // Memory, for tests and the dump command.
    std::vector<std::uint8_t> Dump(std::uint32_t addr, std::uint32_t len) const;
    // Sets memory as the firmware would (no log, no strict check): tests use
    // it to present odd device states, such as an active profile of 7.
    void Poke(std::uint32_t addr, std::span<const std::uint8_t> bytes);

    // Live state the short commands set.
    struct LiveState {
        std::uint8_t writeState = 1;
        std::uint8_t liftOff = 0;
        std::uint8_t liveLight[5] = {};
        bool liveLightSet = false;
        std::uint32_t refreshCount = 0;
        std::uint8_t lastRefresh[2] = {};
    };
    LiveState Live() const;

    // Strict mode: every host mistake is recorded (the report is still
    // handled as far as it can be).
    void SetStrict(bool on);
    std::vector<Violation> Violations() const;
    void ClearViolations();

    // Report log, oldest first; bounded (the oldest entries drop off).
    std::vector<LogEntry> Log() const;
    void ClearLog();
    void SetLogCapacity(std::size_t entries); // 0 turns logging off
    TransferStats Stats() const;

    // Listeners get input reports and plug changes. Returns an id for Remove.
    int AddListener(std::function<void(const MouseEvent &)> fn);
    void RemoveListener(int id);

private:
    void Deliver(std::vector<MouseEvent> &events);
    void LogLocked(LogKind kind, std::uint32_t status, std::span<const std::uint8_t> bytes);
    void ViolateLocked(std::string what);
    bool ConsumeFailureLocked();
    void HandleCommandLocked(std::span<const std::uint8_t> report);
    void QueueInputLocked(std::vector<MouseEvent> &events, std::uint8_t b0, std::uint8_t b1,
                          std::uint8_t b2, std::uint8_t b3);
    void FirmwareButtonLocked(int key, std::vector<MouseEvent> &events);
    int ActiveProfileLocked() const;

    mutable std::mutex m_;
    std::vector<std::uint8_t> mem_;
    bool plugged_ = true;
    bool strict_ = false;
    std::vector<Violation> violations_;
    std::vector<LogEntry> log_;
    std::size_t logStart_ = 0; // ring start when full
    std::size_t logCapacity_ = 4096;
    std::uint64_t seq_ = 0;
    TransferStats stats_;
    LiveState live_;
    std::uint32_t failSkip_ = 0, failCount_ = 0;
    bool readPending_ = false;
    std::uint16_t readAddr_ = 0, readLen_ = 0;
    std::uint8_t readHeader_[7] = {};

    std::mutex listenersM_;
    std::vector<std::pair<int, std::function<void(const MouseEvent &)>>> listeners_;
    int nextListener_ = 1;
};

} // namespace hkt::sim
