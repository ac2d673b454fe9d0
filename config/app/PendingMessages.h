#pragma once
// The monitor's messages that edit the window's profiles or write the mouse
// (a profile switch, the mouse's DPI level and polling rate), held while
// they may not run: during a run of device writes, inside one of the
// window's own sends, while a dialog is open. They run afterwards in the
// order they arrived.
//
// Order is what keeps a report on the profile the mouse made it for: the
// mouse sends "profile 3, rate 125 Hz" and the rate belongs to profile 3, so
// it must run after that switch and never before it.
//
// Switches are coalesced. A switch that arrives right behind another pending
// switch, with nothing between them, replaces it: nothing could have looked
// at the profile in between, so only the latest matters (and the window
// follows one switch instead of several, each with its stores and pages). A
// switch with another message behind it stays: that message was made on its
// profile (a rate stored into it), and dropping the switch would put the
// message on the profile before. The switch being run at the moment is no
// longer pending and is never replaced.

#include <cstdint>
#include <deque>
#include <optional>

struct TPendingMessage {
    std::uint32_t Msg = 0;
    std::int64_t WParam = 0;
    std::int64_t LParam = 0;
    // The serial of the window's writes of what the mouse also changes by
    // itself, when the message arrived (TDeviceWriteGuard::MouseStateWrites):
    // tells whether the window wrote over what the mouse reported.
    std::uint64_t MouseStateWrites = 0;
    bool operator==(const TPendingMessage &) const = default;
};

class TPendingMessages {
public:
    // Appends AMessage, or replaces the last pending one when both are
    // profile switches.
    void Add(const TPendingMessage &AMessage);
    // The oldest pending message, taken off; nullopt when none is pending.
    std::optional<TPendingMessage> Take();
    bool Empty() const { return FItems.empty(); }
    int Count() const { return int(FItems.size()); }
    const std::deque<TPendingMessage> &Items() const { return FItems; }

private:
    std::deque<TPendingMessage> FItems;
};
