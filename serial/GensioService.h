#pragma once

#include <gensio/gensio.h>

#include <mutex>
#include <string>

namespace qk {

// gensio's event loop for the whole program: its OS functions and the one thread that runs
// every network port's callbacks (data received, room to write, timers, connections made
// and closed). Other threads only start operations and wait on the ports' own conditions.
//
// gensio keeps one set of OS functions per program and wakes a thread that waits in it with
// a signal (SIGUSR1); that thread blocks the signal, which gets an empty handler unless the
// program has one. So this is the one object of its kind: made when the first network port
// opens, and left running until the program ends, since ports on other threads may still
// be closing while static objects are destroyed.
class GensioService {
  public:
    // The service, started on first use; nullptr, with why in `failure`, when gensio or its
    // thread cannot start (a later call tries again).
    static GensioService* Get(std::string& failure);

    // str_to_gensio, one at a time: gensio sets up a kind of connection (its module, its
    // defaults) the first time one is made, unguarded against two threads doing so at once.
    int Allocate(const std::string& spec, gensio_event callback, void* user, gensio** io);

    GensioService(const GensioService&) = delete;
    GensioService& operator=(const GensioService&) = delete;

  private:
    GensioService() = default;
    bool Start(std::string& failure);
    void Run();

    gensio_os_funcs* m_funcs = nullptr;
    std::mutex m_allocating;
};

}  // namespace qk
