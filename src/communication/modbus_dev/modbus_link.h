#pragma once

#include <cstdint>
#include <string>

#include "communication/modbus_dev/link_settings.h"

namespace velk::zorv_control {

// What a device needs of the wire to its slave, and all it may touch of it:
// one connection (open, close, paced reconnection, the problem that keeps
// it closed), the six single requests and raw requests, each answered with
// a ModbusResult code (modbus_result.h). LibmodbusLink is the product's
// link; tests put a scripted one in its place to run a device's passes
// without a socket.
//
// Threads: isConnected and connectionProblem may be called from any thread;
// everything else runs on the thread that does the device's I/O (the poll
// thread) or in the destructor.
class ModbusLink {
 public:
  virtual ~ModbusLink() = default;

  virtual const LinkSettings& settings() const = 0;
  virtual bool isConnected() const = 0;
  // Why the last connection attempt failed; empty before the first attempt
  // and while connected.
  virtual std::string connectionProblem() const = 0;
  // Takes effect at the next connect.
  virtual void setDebugMode(bool debug) = 0;

  // Opens the connection the settings describe; 0 or kModbusNoContext.
  virtual int connect() = 0;
  // Called once per poll pass while not connected; attempts connect() only
  // now and then.
  virtual int reconnect() = 0;
  virtual void close() = 0;
  // Opens a connection to other parameters than the settings'.
  virtual int connectTcp(const char* host, int port, int slave, int response_timeout_ms) = 0;
  virtual int connectRtu(const char* serial_path, int baud, char parity, int data_bits,
                         int stop_bits, int slave, int response_timeout_ms) = 0;

  // Bit reads fill one byte (0 or 1) per bit.
  virtual int readBits(int addr, int nb, uint8_t* dest) = 0;
  virtual int readInputBits(int addr, int nb, uint8_t* dest) = 0;
  virtual int readRegisters(int addr, int nb, uint16_t* dest) = 0;
  virtual int readInputRegisters(int addr, int nb, uint16_t* dest) = 0;
  virtual int writeBit(int addr, int value) = 0;
  virtual int writeRegister(int addr, int value) = 0;
  // One raw request (unit, function, data; the link adds the framing); its
  // reply is consumed, so that a later request does not meet it.
  virtual int sendRawRequest(const uint8_t* request, int length) = 0;
  // The result code for the calling thread's errno after a failed libmodbus
  // call; EIO and unknown errnos declare the connection lost.
  virtual int checkErrno() = 0;
  // True when the last reply was damaged, foreign or late rather than the
  // slave's considered answer: with kModbusBadValueOrReply it tells a
  // damaged frame from the exception illegal data value.
  virtual bool lastReplyInDoubt() const = 0;
};

}  // namespace velk::zorv_control
