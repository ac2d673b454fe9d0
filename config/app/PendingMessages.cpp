#include "config/app/PendingMessages.h"

#include "core/pubunit_device_records.h"

void TPendingMessages::Add(const TPendingMessage &AMessage)
{
    if (AMessage.Msg == WM_SWITCH_PROFILE && !FItems.empty() && FItems.back().Msg == WM_SWITCH_PROFILE) {
        FItems.back() = AMessage;
        return;
    }
    FItems.push_back(AMessage);
}

std::optional<TPendingMessage> TPendingMessages::Take()
{
    if (FItems.empty())
        return std::nullopt;
    TPendingMessage m = FItems.front();
    FItems.pop_front();
    return m;
}
