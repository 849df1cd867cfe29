#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "common/log_callback.h"
#include "communication/modbus_dev/link_settings.h"
#include "communication/modbus_dev/modbus_link.h"

typedef struct _modbus modbus_t;

namespace velk::zorv_control {

// The product's link to one slave: it owns one libmodbus context over TCP or
// a serial line, built from the device's settings, and everything about the
// wire: opening and closing it, the pace of reconnection, the single and
// raw requests, the mapping of libmodbus's errno to result codes, the drain
// of a transport after a late or damaged reply, the transaction's time-outs
// (the byte time-out sized to the line, so that a reply cut off fails in
// tens of milliseconds) and the connection problem with its log lines.
//
// libmodbus 3.1 raises "too many data" for a request larger than a reply can
// carry; a reply with more data than asked comes back as a bad reply.
//
// A failed connection attempt logs one Warning with the reason, and again
// only when the reason changes; connectionProblem() tells it meanwhile.
//
// The connected flag is atomic and the problem has a lock of its own; the
// context and the drain state belong to the thread doing the I/O.
class LibmodbusLink : public ModbusLink {
 public:
  LibmodbusLink(LogCallback log, LinkSettings settings);
  // Closes the context, logging that it did.
  ~LibmodbusLink() override;

  LibmodbusLink(const LibmodbusLink&) = delete;
  LibmodbusLink& operator=(const LibmodbusLink&) = delete;

  const LinkSettings& settings() const override { return settings_; }
  bool isConnected() const override { return connected_.load(); }
  std::string connectionProblem() const override;
  void setDebugMode(bool debug) override { debug_.store(debug); }

  int connect() override;
  // Counts calls; every 102nd call attempts connect().
  int reconnect() override;
  void close() override;
  int connectTcp(const char* host, int port, int slave, int response_timeout_ms) override;
  int connectRtu(const char* serial_path, int baud, char parity, int data_bits, int stop_bits,
                 int slave, int response_timeout_ms) override;

  int readBits(int addr, int nb, uint8_t* dest) override;
  int readInputBits(int addr, int nb, uint8_t* dest) override;
  int readRegisters(int addr, int nb, uint16_t* dest) override;
  int readInputRegisters(int addr, int nb, uint16_t* dest) override;
  int writeBit(int addr, int value) override;
  int writeRegister(int addr, int value) override;
  int sendRawRequest(const uint8_t* request, int length) override;
  int checkErrno() override;
  bool lastReplyInDoubt() const override { return replies_stale_; }

 private:
  // `call` makes the libmodbus request. A template, not a std::function:
  // the requests' captures are too large for std::function's own storage,
  // and the poll thread should not allocate for every request.
  template <typename Call>
  int runRead(int nb, const void* dest, const Call& call);
  template <typename Call>
  int runWrite(const Call& call);
  template <typename Call>
  int runConnected(const Call& call);
  int consumeRawReply(uint8_t unit);
  void discardStaleReplies();
  int openContext(modbus_t* context, int slave, int response_timeout_ms);
  // creation_error: the message for a context libmodbus would not create.
  void failConnect(const char* creation_error, const std::string& reason);
  void setConnectionProblem(const std::string& reason);
  std::string label() const;
  void logConnected();

  LogCallback log_;
  const LinkSettings settings_;
  modbus_t* context_ = nullptr;
  std::atomic<bool> connected_{false};
  // Set after a time-out or a reply that was not ours: a late answer may be
  // in the transport, and must be gone before the next request goes out.
  bool replies_stale_ = false;
  std::atomic<bool> debug_{false};
  int reconnect_count_ = 0;
  mutable std::mutex problem_mutex_;
  std::string connection_problem_;
};

}  // namespace velk::zorv_control
