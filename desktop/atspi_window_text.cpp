#include "desktop/atspi_window_text.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tendrix::desktop {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = AccessibleTextResult::Outcome;

// How long one D-Bus call of the query thread may wait for a program. Callers give up at their
// own deadline; this bounds how long the thread itself stays stuck in a hung program.
constexpr int kDbusCallTimeoutMs = 500;
// A missing bus is looked for again after this long.
constexpr auto kBusRetry = std::chrono::seconds(10);
// Extra time a caller allows while the thread first connects to the bus (the session bus may
// have to start the bus launcher).
constexpr auto kConnectBudget = std::chrono::seconds(3);
// Depth limit of the walk towards the deepest control (guards against a cycle in a broken tree).
constexpr int kMaxDepth = 40;

struct GObjectUnref {
    void operator()(gpointer p) const {
        if (p) g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

// Swallows a call's error: a failed query is simply "no answer".
class GErrorSink {
  public:
    ~GErrorSink() { Clear(); }
    GError** out() {
        Clear();
        return &error_;
    }
    bool failed() const { return error_ != nullptr; }

  private:
    void Clear() {
        if (error_) g_error_free(error_);
        error_ = nullptr;
    }
    GError* error_ = nullptr;
};

std::string TakeString(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

std::string Trimmed(std::string s) {
    const char* ws = " \t\r\n";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    s.erase(s.find_last_not_of(ws) + 1);
    s.erase(0, b);
    return s;
}

// Cuts UTF-8 text to at most `max` bytes without splitting a character.
void CutUtf8(std::string& s, size_t max) {
    if (s.size() <= max) return;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
}

bool Contains(const AtspiRect* r, ScreenPoint p) {
    return r && r->width > 0 && r->height > 0 && p.x >= r->x && p.x < r->x + r->width &&
           p.y >= r->y && p.y < r->y + r->height;
}

bool HasState(AtspiAccessible* a, AtspiStateType state) {
    GPtr<AtspiStateSet> states(atspi_accessible_get_state_set(a));
    return states && atspi_state_set_contains(states.get(), state);
}

// The control's text: Text interface, else name, else the value text of a value-like control.
std::string TextOf(AtspiAccessible* a, AtspiRole role) {
    GErrorSink err;
    if (role == ATSPI_ROLE_PASSWORD_TEXT) return {};
    if (GPtr<AtspiText> text{atspi_accessible_get_text_iface(a)}) {
        const gint count = atspi_text_get_character_count(text.get(), err.out());
        if (!err.failed() && count > 0) {
            const gint end = std::min<gint>(count, static_cast<gint>(kMaxAccessibleTextBytes));
            std::string s = Trimmed(TakeString(atspi_text_get_text(text.get(), 0, end, err.out())));
            if (!s.empty()) return s;
        }
    }
    std::string name = Trimmed(TakeString(atspi_accessible_get_name(a, err.out())));
    if (!name.empty()) return name;
    const bool value_like = role == ATSPI_ROLE_ENTRY || role == ATSPI_ROLE_LABEL ||
                            role == ATSPI_ROLE_TABLE_CELL || role == ATSPI_ROLE_SPIN_BUTTON ||
                            role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_STATIC;
    if (value_like) {
        if (GPtr<AtspiValue> value{atspi_accessible_get_value_iface(a)}) {
            std::string s = Trimmed(TakeString(atspi_value_get_text(value.get(), err.out())));
            if (!s.empty()) return s;
            const double v = atspi_value_get_current_value(value.get(), err.out());
            if (!err.failed()) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.10g", v);
                return buf;
            }
        }
    }
    return {};
}

// The published top-level window holding the point: of the programs with the X window's
// process id when known (all programs otherwise), the showing window whose extents hold the
// point; one matching the X window's rectangle wins, then an active one.
GPtr<AtspiAccessible> WindowAt(const AccessibleQuery& q) {
    GErrorSink err;
    GPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop) return nullptr;
    GPtr<AtspiAccessible> best;
    int best_score = -1;
    const gint apps = atspi_accessible_get_child_count(desktop.get(), err.out());
    for (gint i = 0; i < apps; ++i) {
        GPtr<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, err.out()));
        if (!app) continue;
        if (q.pid != 0 && atspi_accessible_get_process_id(app.get(), err.out()) != q.pid) continue;
        const gint windows = atspi_accessible_get_child_count(app.get(), err.out());
        for (gint j = 0; j < windows; ++j) {
            GPtr<AtspiAccessible> win(atspi_accessible_get_child_at_index(app.get(), j, err.out()));
            if (!win || !HasState(win.get(), ATSPI_STATE_SHOWING)) continue;
            GPtr<AtspiComponent> comp(atspi_accessible_get_component_iface(win.get()));
            if (!comp) continue;
            AtspiRect* r =
                atspi_component_get_extents(comp.get(), ATSPI_COORD_TYPE_SCREEN, err.out());
            int score = -1;
            if (Contains(r, q.point)) {
                score = 0;
                if (!q.window.empty() && std::abs(r->x - q.window.left) <= 2 &&
                    std::abs(r->y - q.window.top) <= 2 &&
                    std::abs(r->width - q.window.width()) <= 2 &&
                    std::abs(r->height - q.window.height()) <= 2)
                    score += 2;
                if (HasState(win.get(), ATSPI_STATE_ACTIVE)) score += 1;
            }
            g_free(r);
            if (score > best_score) {
                best_score = score;
                best = std::move(win);
            }
        }
    }
    return best;
}

AccessibleTextResult Lookup(const AccessibleQuery& q) {
    AccessibleTextResult result;
    GPtr<AtspiAccessible> cur = WindowAt(q);
    if (!cur) return result;
    GErrorSink err;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        GPtr<AtspiComponent> comp(atspi_accessible_get_component_iface(cur.get()));
        if (!comp) break;
        GPtr<AtspiAccessible> child(atspi_component_get_accessible_at_point(
            comp.get(), q.point.x, q.point.y, ATSPI_COORD_TYPE_SCREEN, err.out()));
        if (!child || child.get() == cur.get()) break;
        cur = std::move(child);
    }
    const AtspiRole role = atspi_accessible_get_role(cur.get(), err.out());
    result.role = TakeString(atspi_role_get_name(role));
    result.text = TextOf(cur.get(), role);
    CutUtf8(result.text, kMaxAccessibleTextBytes);
    result.outcome = result.text.empty() ? Outcome::NoText : Outcome::Found;
    return result;
}

// The one thread that talks to libatspi, with a one-job slot. Never destroyed: a thread stuck
// in a hung program must not hold up the process's exit.
class QueryThread {
  public:
    static QueryThread& Instance() {
        static QueryThread* instance = new QueryThread;
        return *instance;
    }

    AccessibleTextResult Run(const AccessibleQuery& q, std::chrono::milliseconds timeout) {
        const auto deadline =
            Clock::now() + timeout + (connected_.load() ? Clock::duration{} : kConnectBudget);
        AccessibleTextResult timed_out;
        timed_out.outcome = Outcome::TimedOut;
        std::unique_lock<std::timed_mutex> caller(callers_, deadline);
        if (!caller.owns_lock()) return timed_out;
        std::unique_lock<std::mutex> lock(mu_);
        // A previous caller may have given up on a query the thread is still running.
        if (!cv_.wait_until(lock, deadline, [&] { return !busy_; })) return timed_out;
        job_ = q;
        busy_ = true;
        const uint64_t mine = ++submitted_;
        cv_.notify_all();
        if (!cv_.wait_until(lock, deadline, [&] { return finished_ == mine; })) return timed_out;
        return result_;
    }

  private:
    QueryThread() {
        std::thread([this] { Loop(); }).detach();
    }

    void Loop() {
        // libatspi's D-Bus connections dispatch on this thread's own main context.
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        bool ready = false;
        Clock::time_point next_try{};
        for (;;) {
            AccessibleQuery q;
            {
                std::unique_lock<std::mutex> lock(mu_);
                cv_.wait_for(lock, std::chrono::milliseconds(500),
                             [&] { return job_.has_value(); });
                if (!job_) {
                    lock.unlock();
                    // Idle: handle the buses' queued signals so libatspi's caches stay current.
                    if (ready)
                        while (g_main_context_iteration(context, FALSE)) {
                        }
                    continue;
                }
                q = *job_;
                job_.reset();
            }
            if (ready)
                while (g_main_context_iteration(context, FALSE)) {
                }
            AccessibleTextResult r;
            if (!ready && Clock::now() >= next_try) {
                ready = Connect(context);
                connected_ = ready;
                if (!ready) next_try = Clock::now() + kBusRetry;
            }
            if (ready) {
                r = Lookup(q);
            } else {
                r.outcome = Outcome::NoBus;
            }
            std::lock_guard<std::mutex> lock(mu_);
            result_ = std::move(r);
            finished_ = submitted_;
            busy_ = false;
            cv_.notify_all();
        }
    }

    static bool Connect(GMainContext* context) {
        if (!AccessibilityBusRunning()) return false;
        if (atspi_init() > 1) return false;  // 0 started, 1 already running
        atspi_set_main_context(context);
        atspi_set_timeout(kDbusCallTimeoutMs, kDbusCallTimeoutMs);
        return true;
    }

    std::atomic<bool> connected_{false};
    std::timed_mutex callers_;  // one caller at a time talks to the thread
    std::mutex mu_;
    std::condition_variable cv_;
    std::optional<AccessibleQuery> job_;
    bool busy_ = false;
    uint64_t submitted_ = 0;
    uint64_t finished_ = 0;
    AccessibleTextResult result_;
};

}  // namespace

AccessibleTextResult ReadAccessibleText(const AccessibleQuery& query,
                                        std::chrono::milliseconds timeout) {
    return QueryThread::Instance().Run(query, timeout);
}

bool AccessibilityBusRunning(std::string* detail) {
    auto say = [&](const std::string& s) {
        if (detail) *detail = s;
    };
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session) {
        say("no session D-Bus (DBUS_SESSION_BUS_ADDRESS is not set)");
        return false;
    }
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* conn = dbus_connection_open_private(session, &err);
    if (conn && !dbus_bus_register(conn, &err)) {
        dbus_connection_close(conn);
        dbus_connection_unref(conn);
        conn = nullptr;
    }
    if (!conn) {
        say(std::string("session D-Bus unreachable: ") + (err.message ? err.message : "?"));
        dbus_error_free(&err);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(conn, FALSE);
    std::string address;
    DBusMessage* call =
        dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
    DBusMessage* reply =
        call ? dbus_connection_send_with_reply_and_block(conn, call, 2000, &err) : nullptr;
    const char* text = nullptr;
    if (reply && dbus_message_get_args(reply, &err, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) &&
        text)
        address = text;
    if (address.empty())
        say(std::string("accessibility bus not running (org.a11y.Bus: ") +
            (err.message ? err.message : "no address") + "); install at-spi2-core");
    else
        say("accessibility bus at " + address);
    if (reply) dbus_message_unref(reply);
    if (call) dbus_message_unref(call);
    dbus_error_free(&err);
    dbus_connection_close(conn);
    dbus_connection_unref(conn);
    return !address.empty();
}

}  // namespace tendrix::desktop
