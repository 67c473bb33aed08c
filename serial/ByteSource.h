#pragma once

namespace qk {

// What the receive loop reads from: the serial port, or a scripted source in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Never waits: the bytes that have arrived, 0 when none did or the read failed.
    virtual int Read(char* buffer, unsigned capacity) = 0;
    virtual bool IsOpen() const = 0;
};

}  // namespace qk
