#pragma once

namespace qk {

// What the receive loop reads from: the serial port, or a scripted source in tests.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Never waits: the bytes that have arrived, 0 when none did or the read failed.
    virtual int Read(char* buffer, unsigned capacity) = 0;
    virtual bool IsOpen() const = 0;
    // True once the line has failed for good: the device hung up or its adapter was pulled.
    // Nothing more will arrive; what was read before is all there is.
    virtual bool HungUp() const { return false; }
};

}  // namespace qk
