#include "GensioService.h"

#include <gensio/gensio.h>
#include <pthread.h>
#include <signal.h>

#include <future>
#include <mutex>
#include <system_error>
#include <thread>

namespace qk {
namespace {

constexpr int kWakeSignal = GENSIO_DEF_WAKE_SIG;

void Wake(int) {}

// gensio's wake-ups must interrupt the service thread's wait, not end the program, and an
// ignored signal would never arrive. A handler the program set up stays.
void InstallWakeHandler() {
    struct sigaction current {};
    if (sigaction(kWakeSignal, nullptr, &current) != 0 ||
        (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN)) {
        return;
    }
    struct sigaction wake {};
    wake.sa_handler = Wake;
    sigemptyset(&wake.sa_mask);
    wake.sa_flags = SA_RESTART;
    sigaction(kWakeSignal, &wake, nullptr);
}

// gensio reports its own troubles through the ports' errors; its log has no reader here.
void IgnoreLog(gensio_os_funcs*, gensio_log_levels, const char*, va_list) {}

}  // namespace

GensioService* GensioService::Get(std::string& failure) {
    static std::mutex mutex;
    static GensioService* service = nullptr;
    std::lock_guard lock(mutex);
    if (service == nullptr) {
        auto* started = new GensioService();
        if (started->Start(failure)) {
            service = started;
        } else {
            delete started;
        }
    }
    return service;
}

bool GensioService::Start(std::string& failure) {
    InstallWakeHandler();
    std::promise<std::string> outcome;
    std::future<std::string> started = outcome.get_future();
    try {
        std::thread([this, &outcome] {
            // The wake signal may come only while gensio waits (it unblocks it there); a
            // broken connection's SIGPIPE is an error the write reports.
            sigset_t blocked;
            sigemptyset(&blocked);
            sigaddset(&blocked, kWakeSignal);
            sigaddset(&blocked, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
            if (const int err = gensio_default_os_hnd(kWakeSignal, &m_funcs); err != 0) {
                outcome.set_value(std::string("cannot start gensio: ") + gensio_err_to_str(err));
                return;
            }
            gensio_os_funcs_set_vlog(m_funcs, IgnoreLog);
            outcome.set_value({});
            Run();
        }).detach();
    } catch (const std::system_error& error) {
        failure = std::string("cannot start the network thread: ") + error.what();
        return false;
    }
    failure = started.get();
    return failure.empty();
}

int GensioService::Allocate(const std::string& spec, gensio_event callback, void* user,
                            gensio** io) {
    std::lock_guard lock(m_allocating);
    return str_to_gensio(spec.c_str(), m_funcs, callback, user, io);
}

void GensioService::Run() {
    for (;;) {
        gensio_os_funcs_service(m_funcs, nullptr);
    }
}

}  // namespace qk
