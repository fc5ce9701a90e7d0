// tendrix-sandbox: the simulated payment platform on an HTTP or HTTPS port.
//   tendrix-sandbox --listen HOST:PORT [--tls-cert FILE --tls-key FILE] [--accounts FILE]
//                   [--late-answer-ms N] [--verbose]
// Port 0 picks a free port. The first line on stdout is "listening on http[s]://HOST:PORT".
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform_api/link_security.h"
#include "sandbox/sandbox_platform.h"

namespace {

using tendrix::sandbox::Reply;
using tendrix::sandbox::SandboxPlatform;

void PrintHelp() {
    std::printf(
        "usage: tendrix-sandbox --listen HOST:PORT [--tls-cert FILE --tls-key FILE]\n"
        "                       [--accounts FILE] [--late-answer-ms N] [--verbose]\n"
        "\n"
        "A simulated payment platform: every /plugOrder/ path, signatures checked (the fixed\n"
        "login key for /plugOrder/showLogin, the merchant secret for the rest), orders kept in\n"
        "memory. Port 0 picks a free port; the first line printed is the address.\n"
        "\n"
        "  --listen HOST:PORT    address to listen on (e.g. 127.0.0.1:8600)\n"
        "  --tls-cert FILE       serve HTTPS with this certificate (PEM)\n"
        "  --tls-key FILE        the certificate's private key (PEM)\n"
        "  --accounts FILE       more merchants and cashiers, one per line:\n"
        "                          merchant ID SECRET NAME SHOP_ID SHOP_NAME CLIENT[,CLIENT...]\n"
        "                          cashier USER PASSWORD MERCHANT_ID [PERMISSION 0|1|2]\n"
        "  --no-demo             leave out the built-in demo merchant\n"
        "  --late-answer-ms N    delay of the creation answer for codes ending in 9\n"
        "                        (default 125000, beyond the client's 120 s time-out)\n"
        "  --verbose             print each request on stderr (passwords and payment\n"
        "                        codes masked)\n"
        "\n"
        "Built-in demo account: cashier \"demo\", password \"demo\" (merchant M100001,\n"
        "client C1001); cashier \"multi\", password \"multi\" (merchant M100002, clients\n"
        "C2001 and C2002) for the several-devices notice.\n"
        "\n%s",
        tendrix::sandbox::kBehaviourTable);
}

std::mutex g_stop_mutex;
std::condition_variable g_stop_cv;
bool g_stopping = false;
bool g_stopped = false;  // the server has returned from listening

}  // namespace

int main(int argc, char** argv) {
    std::string listen, accounts, tls_cert, tls_key;
    SandboxPlatform::Options options;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tendrix-sandbox: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            out = argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--listen") {
            value(listen);
        } else if (arg == "--tls-cert") {
            value(tls_cert);
        } else if (arg == "--tls-key") {
            value(tls_key);
        } else if (arg == "--accounts") {
            value(accounts);
        } else if (arg == "--late-answer-ms") {
            std::string ms;
            value(ms);
            char* end = nullptr;
            const long long n = std::strtoll(ms.c_str(), &end, 10);
            if (end == ms.c_str() || *end != '\0' || n < 0) {
                std::fprintf(stderr, "tendrix-sandbox: bad --late-answer-ms %s\n", ms.c_str());
                return 2;
            }
            options.late_answer_delay = std::chrono::milliseconds(n);
        } else if (arg == "--no-demo") {
            options.demo_accounts = false;
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            std::fprintf(stderr, "tendrix-sandbox: unknown argument %s (see --help)\n",
                         arg.c_str());
            return 2;
        }
    }
    const size_t colon = listen.rfind(':');
    if (listen.empty() || colon == std::string::npos) {
        std::fprintf(stderr, "tendrix-sandbox: --listen HOST:PORT is required (see --help)\n");
        return 2;
    }
    if (tls_cert.empty() != tls_key.empty()) {
        std::fprintf(stderr, "tendrix-sandbox: --tls-cert and --tls-key go together\n");
        return 2;
    }
    const std::string host = listen.substr(0, colon);
    const int wanted_port = std::atoi(listen.c_str() + colon + 1);

    // SIGTERM and SIGINT are taken by a thread of their own; no worker sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<httplib::Server> tls_or_plain;
    if (tls_cert.empty()) {
        tls_or_plain = std::make_unique<httplib::Server>();
    } else {
        auto tls = std::make_unique<httplib::SSLServer>(tls_cert.c_str(), tls_key.c_str());
        if (!tls->is_valid()) {
            std::fprintf(stderr, "tendrix-sandbox: cannot use certificate %s with key %s\n",
                         tls_cert.c_str(), tls_key.c_str());
            return 1;
        }
        tls_or_plain = std::move(tls);
    }
    httplib::Server& server = *tls_or_plain;
    // Answers leave at once: without TCP_NODELAY (inherited by accepted sockets) a reused
    // keep-alive connection waits ~40 ms on each answer for the client's delayed ACK.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    const std::string scheme = tls_cert.empty() ? "http" : "https";
    // Late answers hold a worker each; keep enough for them and the load of four clients.
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    int port = 0;
    if (wanted_port == 0) {
        port = server.bind_to_any_port(host);
    } else if (server.bind_to_port(host, wanted_port)) {
        port = wanted_port;
    }
    if (port <= 0) {
        std::fprintf(stderr, "tendrix-sandbox: cannot listen on %s\n", listen.c_str());
        return 1;
    }
    options.base_url = scheme + "://" + host + ":" + std::to_string(port);
    SandboxPlatform platform(options);
    if (!accounts.empty()) {
        std::string error;
        if (!platform.LoadAccounts(accounts, error)) {
            std::fprintf(stderr, "tendrix-sandbox: %s\n", error.c_str());
            return 1;
        }
    }

    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("tendrix-sandbox\n", "text/plain");
    });
    server.Get(R"(/qr/(\w+))", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("tendrix-sandbox payment link for order " + req.matches[1].str() + "\n",
                        "text/plain; charset=utf-8");
    });
    server.Post(R"(/plugOrder/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        Reply reply = platform.Handle(req.path, req.body);
        if (verbose) {
            std::fprintf(stderr, "%s %s -> %d %zu bytes\n", req.path.c_str(),
                         tendrix::platform_api::FormItemsForLog(req.body, req.path).c_str(),
                         reply.status, reply.body.size());
        }
        if (reply.mode == Reply::Mode::kDelayed) {
            std::unique_lock<std::mutex> lock(g_stop_mutex);
            g_stop_cv.wait_for(lock, reply.delay, [] { return g_stopping; });
        }
        res.status = reply.status;
        if (reply.mode == Reply::Mode::kDrop) {
            // Headers promise a body that never comes: the connection closes mid-answer.
            res.set_content_provider(64, "application/json",
                                     [](size_t, size_t, httplib::DataSink&) { return false; });
            return;
        }
        res.set_content(reply.body, "application/json; charset=utf-8");
    });

    std::thread stopper([&] {
        int sig = 0;
        sigwait(&signals, &sig);
        {
            std::lock_guard<std::mutex> lock(g_stop_mutex);
            g_stopping = true;
        }
        g_stop_cv.notify_all();
        server.stop();
        // Workers holding an idle keep-alive connection notice the stop only at the end of
        // the keep-alive time-out (seconds); nothing is left to save, so leave now if they
        // are not done promptly.
        std::unique_lock<std::mutex> lock(g_stop_mutex);
        if (!g_stop_cv.wait_for(lock, std::chrono::milliseconds(200), [] { return g_stopped; })) {
            std::fflush(nullptr);
            std::_Exit(0);
        }
    });

    std::printf("listening on %s://%s:%d\n", scheme.c_str(), host.c_str(), port);
    std::fflush(stdout);
    const bool ok = server.listen_after_bind();
    {
        std::lock_guard<std::mutex> lock(g_stop_mutex);
        g_stopped = true;
    }
    g_stop_cv.notify_all();
    if (!g_stopping) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return ok ? 0 : 1;
}
