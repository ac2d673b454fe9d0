#include "platform/MicMute.h"

#include <QMetaObject>
#include <QObject>

#include <alsa/asoundlib.h>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace hkt::platform {

namespace {

// The default source, resolved by the server at each call: the toggle follows
// the user's current microphone, not the one that was default when we connected.
constexpr char kDefaultSource[] = "@DEFAULT_SOURCE@";

// One asynchronous request: filled by a libpulse callback on the main loop's
// thread, waited for (with a limit) on the caller's thread.
struct Request {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool ok = false;
    bool gotInfo = false;
    bool muted = false;

    void Finish(bool success)
    {
        std::lock_guard<std::mutex> lock(mutex);
        ok = success;
        done = true;
        cv.notify_all();
    }
};

} // namespace

struct PulseMicMute::Impl {
    QString server;
    std::chrono::milliseconds callLimit;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;

    std::mutex stateMutex;
    std::condition_variable stateCv;
    pa_context_state_t state = PA_CONTEXT_UNCONNECTED;

    std::function<void()> handler;
    QObject relay; // lives on the main thread; change notices are queued to it
    std::atomic<bool> noticePending{false};

    static void OnState(pa_context *c, void *userdata)
    {
        auto *self = static_cast<Impl *>(userdata);
        std::lock_guard<std::mutex> lock(self->stateMutex);
        self->state = pa_context_get_state(c);
        self->stateCv.notify_all();
    }

    // Main-loop thread: only raises a flag and queues one notice to the main thread.
    static void OnEvent(pa_context *, pa_subscription_event_type_t, uint32_t, void *userdata)
    {
        auto *self = static_cast<Impl *>(userdata);
        if (self->noticePending.exchange(true))
            return;
        QMetaObject::invokeMethod(
            &self->relay,
            [self] {
                self->noticePending = false;
                if (self->handler)
                    self->handler();
            },
            Qt::QueuedConnection);
    }

    pa_context_state_t State()
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        return state;
    }

    void Disconnect()
    {
        if (!loop)
            return;
        pa_threaded_mainloop_lock(loop);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        std::lock_guard<std::mutex> lock(stateMutex);
        state = PA_CONTEXT_UNCONNECTED;
    }

    bool Connect()
    {
        if (loop && State() == PA_CONTEXT_READY)
            return true;
        Disconnect(); // a failed or terminated context (server restarted) starts over
        loop = pa_threaded_mainloop_new();
        if (!loop)
            return false;
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "HKT75MON");
        if (!context) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
            return false;
        }
        pa_context_set_state_callback(context, &Impl::OnState, this);
        const QByteArray name = server.toUtf8();
        if (pa_context_connect(context, name.isEmpty() ? nullptr : name.constData(), PA_CONTEXT_NOAUTOSPAWN,
                               nullptr)
                < 0
            || pa_threaded_mainloop_start(loop) < 0) {
            Disconnect();
            return false;
        }
        bool ready;
        {
            std::unique_lock<std::mutex> lock(stateMutex);
            stateCv.wait_for(lock, callLimit, [this] {
                return state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
            });
            ready = state == PA_CONTEXT_READY;
        }
        if (!ready) {
            Disconnect();
            return false;
        }
        pa_threaded_mainloop_lock(loop);
        pa_context_set_subscribe_callback(context, &Impl::OnEvent, this);
        if (pa_operation *op = pa_context_subscribe(
                context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr))
            pa_operation_unref(op);
        pa_threaded_mainloop_unlock(loop);
        return true;
    }

    // Waits for a request started under the loop lock; cancels it at the
    // limit so that its callback can no longer touch the request.
    bool Await(pa_operation *op, Request &req)
    {
        if (!op)
            return false;
        {
            std::unique_lock<std::mutex> lock(req.mutex);
            req.cv.wait_for(lock, callLimit, [&req] { return req.done; });
        }
        pa_threaded_mainloop_lock(loop);
        bool done;
        {
            std::lock_guard<std::mutex> lock(req.mutex);
            done = req.done;
        }
        if (!done)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        pa_threaded_mainloop_unlock(loop);
        std::lock_guard<std::mutex> lock(req.mutex);
        return req.done && req.ok;
    }
};

PulseMicMute::PulseMicMute(QString server, std::chrono::milliseconds callLimit) : m(std::make_unique<Impl>())
{
    m->server = std::move(server);
    m->callLimit = callLimit;
}

PulseMicMute::~PulseMicMute()
{
    m->Disconnect();
}

bool PulseMicMute::Connect()
{
    return m->Connect();
}

MicMuteState PulseMicMute::GetMute()
{
    if (!m->Connect())
        return {};
    Request req;
    pa_threaded_mainloop_lock(m->loop);
    pa_operation *op = pa_context_get_source_info_by_name(
        m->context, kDefaultSource,
        [](pa_context *, const pa_source_info *info, int eol, void *userdata) {
            auto *r = static_cast<Request *>(userdata);
            if (eol < 0) {
                r->Finish(false);
            } else if (eol > 0) {
                r->Finish(r->gotInfo);
            } else if (info) {
                r->gotInfo = true;
                r->muted = info->mute != 0;
            }
        },
        &req);
    pa_threaded_mainloop_unlock(m->loop);
    if (!m->Await(op, req))
        return {};
    return {MicStatus::Ok, req.muted};
}

MicStatus PulseMicMute::SetMute(bool muted)
{
    if (!m->Connect())
        return MicStatus::Unavailable;
    Request req;
    pa_threaded_mainloop_lock(m->loop);
    pa_operation *op = pa_context_set_source_mute_by_name(
        m->context, kDefaultSource, muted ? 1 : 0,
        [](pa_context *, int success, void *userdata) { static_cast<Request *>(userdata)->Finish(success != 0); },
        &req);
    pa_threaded_mainloop_unlock(m->loop);
    return m->Await(op, req) ? MicStatus::Ok : MicStatus::Unavailable;
}

void PulseMicMute::SetChangeHandler(std::function<void()> handler)
{
    m->handler = std::move(handler);
}

// ---- ALSA mixer --------------------------------------------------------------

namespace {

class Mixer {
public:
    explicit Mixer(const QString &device)
    {
        if (snd_mixer_open(&m_handle, 0) < 0) {
            m_handle = nullptr;
            return;
        }
        const QByteArray name = device.toLocal8Bit();
        if (snd_mixer_attach(m_handle, name.constData()) < 0 || snd_mixer_selem_register(m_handle, nullptr, nullptr) < 0
            || snd_mixer_load(m_handle) < 0) {
            snd_mixer_close(m_handle);
            m_handle = nullptr;
        }
    }
    ~Mixer()
    {
        if (m_handle)
            snd_mixer_close(m_handle);
    }
    Mixer(const Mixer &) = delete;
    Mixer &operator=(const Mixer &) = delete;

    // The microphone line: "Capture" as the sound cards and the Pulse plugin
    // name it, else "Mic".
    snd_mixer_elem_t *MicrophoneLine() const
    {
        if (!m_handle)
            return nullptr;
        for (const char *name : {"Capture", "Mic"}) {
            snd_mixer_selem_id_t *id = nullptr;
            if (snd_mixer_selem_id_malloc(&id) < 0)
                return nullptr;
            snd_mixer_selem_id_set_index(id, 0);
            snd_mixer_selem_id_set_name(id, name);
            snd_mixer_elem_t *elem = snd_mixer_find_selem(m_handle, id);
            snd_mixer_selem_id_free(id);
            if (elem)
                return elem;
        }
        return nullptr;
    }

private:
    snd_mixer_t *m_handle = nullptr;
};

} // namespace

AlsaMicMute::AlsaMicMute(QString device) : m_device(std::move(device)) {}

MicMuteState AlsaMicMute::GetMute()
{
    Mixer mixer(m_device);
    snd_mixer_elem_t *line = mixer.MicrophoneLine();
    if (!line)
        return {};
    if (!snd_mixer_selem_has_capture_switch(line))
        return {MicStatus::NoMuteControl, false};
    int capturing = 0;
    if (snd_mixer_selem_get_capture_switch(line, SND_MIXER_SCHN_FRONT_LEFT, &capturing) < 0)
        return {MicStatus::ValueFailed, false};
    // The capture switch is on while the microphone records: off is muted.
    return {MicStatus::Ok, capturing == 0};
}

MicStatus AlsaMicMute::SetMute(bool muted)
{
    Mixer mixer(m_device);
    snd_mixer_elem_t *line = mixer.MicrophoneLine();
    if (!line)
        return MicStatus::Unavailable;
    if (!snd_mixer_selem_has_capture_switch(line))
        return MicStatus::NoMuteControl;
    return snd_mixer_selem_set_capture_switch_all(line, muted ? 0 : 1) < 0 ? MicStatus::ValueFailed : MicStatus::Ok;
}

// ---- the system's road -----------------------------------------------------------

SystemMicMute::SystemMicMute() = default;

MicMuteState SystemMicMute::GetMute()
{
    // Chosen at each read, so a sound server that starts later is taken up.
    m_road = m_pulse.Connect() ? static_cast<MicMute *>(&m_pulse) : static_cast<MicMute *>(&m_alsa);
    return m_road->GetMute();
}

MicStatus SystemMicMute::SetMute(bool muted)
{
    if (!m_road)
        m_road = m_pulse.Connect() ? static_cast<MicMute *>(&m_pulse) : static_cast<MicMute *>(&m_alsa);
    return m_road->SetMute(muted);
}

} // namespace hkt::platform
