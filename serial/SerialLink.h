#pragma once

#include <cstdint>
#include <string>

#include "ByteSource.h"

namespace qk {

// The operations the configuration controller needs of the serial port, so that its
// command sequences can be checked against a recording port in virtual time.
class SerialLink : public ByteSource {
  public:
    virtual bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
                      int parityCode) = 0;
    virtual bool SetReadTimeouts(unsigned milliseconds) = 0;
    // True when every byte went out. A failure other than a hang-up has been reported to
    // the port's message sink; after a hang-up nothing is reported per write, since the
    // owner reports the lost line once.
    virtual bool Write(const char* data, unsigned length) = 0;
    virtual void Close() = 0;
    // Why the line failed, naming the port and the system's cause; empty while HungUp()
    // is false.
    virtual std::string HangUpReason() const { return {}; }
    // What the operator should know of the open line beyond its settings (a raw TCP port
    // runs at the server's settings, not those asked for); empty for most.
    virtual std::string LineRemark() const { return {}; }
    // Other programs that have the open port open too ("cat (pid 4242)"): one of them may
    // be taking the device's answers. Empty when there are none, or the system cannot tell.
    virtual std::string SharedWith() const { return {}; }
};

}  // namespace qk
