#pragma once
// A desktop-settings backend for tests: records every call and takes every
// setting. Display-free.

#include "platform/SystemMouseSettings.h"

#include <QString>

#include <mutex>
#include <vector>

namespace hkt::testapp {

// Records every call; takes every setting.
class RecordingMouseSettings : public hkt::platform::SystemMouseSettings {
public:
    struct Call {
        QString what;
        std::vector<int> values;
        bool operator==(const Call &) const = default;
    };
    bool SetMouse(const hkt::platform::MouseAccelerationRow &r) override
    {
        return Add({QStringLiteral("mouse"), {r.threshold1, r.threshold2, r.acceleration}});
    }
    bool SetMouseSpeed(int s) override { return Add({QStringLiteral("speed"), {s}}); }
    bool SetWheelScrollLines(int l) override { return Add({QStringLiteral("wheel"), {l}}); }
    bool SetDoubleClickTime(int ms) override { return Add({QStringLiteral("dblclick"), {ms}}); }
    QString Name() const override { return QStringLiteral("recording"); }

    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> lock(m);
        return calls;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m);
        calls.clear();
    }

private:
    bool Add(Call c)
    {
        std::lock_guard<std::mutex> lock(m);
        calls.push_back(std::move(c));
        return true;
    }
    std::mutex m;
    std::vector<Call> calls;
};

} // namespace hkt::testapp
