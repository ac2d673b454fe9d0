#pragma once
// Looks at an X display from the outside, as a user's eyes would: which
// windows of a program are shown and where, what a window shows (its pixels),
// and which windows asked the desktop to minimise them. Input goes in through
// xdotool; this only watches. Tests that use it link libxcb.

#include <QByteArray>
#include <QCryptographicHash>
#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace hkt::testfixtures {

class XDisplayProbe {
public:
    struct Window {
        std::uint32_t id = 0;
        QRect geometry; // on the screen
    };

    explicit XDisplayProbe(const QString &display)
    {
        m_conn = xcb_connect(display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_conn))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        m_wmClass = Atom("WM_CLASS");
        m_changeState = Atom("WM_CHANGE_STATE");
        // A program asks the desktop to minimise a window with a client
        // message to the root window, which a client watching the root's
        // structure receives too.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_conn);
    }
    ~XDisplayProbe()
    {
        if (m_conn)
            xcb_disconnect(m_conn);
    }
    XDisplayProbe(const XDisplayProbe &) = delete;
    XDisplayProbe &operator=(const XDisplayProbe &) = delete;

    bool IsValid() const { return m_conn && !xcb_connection_has_error(m_conn); }

    // The shown top-level windows (menus and dialogs included) whose
    // WM_CLASS names `cls`, bottom first.
    std::vector<Window> Shown(const QString &cls)
    {
        std::vector<Window> out;
        if (!IsValid())
            return out;
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, m_root), nullptr));
        if (!tree)
            return out;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        const int n = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < n; ++i) {
            const xcb_window_t w = children[i];
            Reply<xcb_get_window_attributes_reply_t> attrs(
                xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, w), nullptr));
            if (!attrs || attrs->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            if (!ClassIs(w, cls))
                continue;
            Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, w), nullptr));
            if (!g)
                continue;
            out.push_back({w, QRect(g->x, g->y, g->width, g->height)});
        }
        return out;
    }

    // A digest of what the window shows in `r` (its own coordinates; the
    // whole window when empty). Empty when the window cannot be read.
    QByteArray Look(std::uint32_t window, QRect r = QRect())
    {
        if (!IsValid())
            return {};
        if (r.isEmpty()) {
            Reply<xcb_get_geometry_reply_t> g(
                xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, window), nullptr));
            if (!g)
                return {};
            r = QRect(0, 0, g->width, g->height);
        }
        Reply<xcb_get_image_reply_t> img(xcb_get_image_reply(
            m_conn,
            xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(r.x()), std::int16_t(r.y()),
                          std::uint16_t(r.width()), std::uint16_t(r.height()), ~0u),
            nullptr));
        if (!img)
            return {};
        return QCryptographicHash::hash(
            QByteArray::fromRawData(reinterpret_cast<const char *>(xcb_get_image_data(img.get())),
                                    xcb_get_image_data_length(img.get())),
            QCryptographicHash::Sha1);
    }

    // How many times `window` asked to be minimised since the probe began.
    int MinimiseRequests(std::uint32_t window)
    {
        if (!IsValid())
            return 0;
        while (xcb_generic_event_t *e = xcb_poll_for_event(m_conn)) {
            if ((e->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
                const auto *m = reinterpret_cast<const xcb_client_message_event_t *>(e);
                // 3: IconicState.
                if (m->type == m_changeState && m->format == 32 && m->data.data32[0] == 3)
                    m_minimised.push_back(m->window);
            }
            std::free(e);
        }
        int n = 0;
        for (std::uint32_t w : m_minimised)
            n += w == window;
        return n;
    }

private:
    template <class T>
    struct FreeReply {
        void operator()(T *p) const { std::free(p); }
    };
    template <class T>
    using Reply = std::unique_ptr<T, FreeReply<T>>;

    xcb_atom_t Atom(const char *name)
    {
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // WM_CLASS holds two NUL-terminated strings, instance and class.
    bool ClassIs(xcb_window_t w, const QString &cls)
    {
        Reply<xcb_get_property_reply_t> p(xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, w, m_wmClass, XCB_ATOM_STRING, 0, 256), nullptr));
        if (!p)
            return false;
        const QByteArray value(static_cast<const char *>(xcb_get_property_value(p.get())),
                               xcb_get_property_value_length(p.get()));
        for (const QByteArray &part : value.split('\0'))
            if (!part.isEmpty() && QString::fromLatin1(part) == cls)
                return true;
        return false;
    }

    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_wmClass = XCB_ATOM_NONE;
    xcb_atom_t m_changeState = XCB_ATOM_NONE;
    std::vector<std::uint32_t> m_minimised;
};

} // namespace hkt::testfixtures
