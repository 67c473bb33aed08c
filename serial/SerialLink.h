#pragma once

#include <cstdint>

#include "ByteSource.h"

namespace qk {

// The operations the configuration controller needs of the serial port, so that its
// command sequences can be checked against a recording port in virtual time.
class SerialLink : public ByteSource {
public:
    virtual bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
                      int parityCode) = 0;
    virtual bool SetReadTimeouts(unsigned milliseconds) = 0;
    virtual void Write(const char* data, unsigned length) = 0;
    virtual void Close() = 0;
};

}  // namespace qk
