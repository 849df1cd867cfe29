// A Modbus device facing arbitrary slave replies over a real loopback TCP
// connection. The input chooses one device operation and scripts the
// replies to the requests it makes. Besides crashes, undefined behaviour
// and buffer overruns (every destination is exactly as large as asked), it
// checks what the layers above rely on: every result and error state is one
// of the documented codes, bits read are 0 or 1, and no operation hangs.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "communication/modbus_dev/modbus_device.h"
#include "communication/modbus_dev/modbus_signal.h"
#include "fuzz_check.h"
#include "reply_script_responder.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace {

using rocker_fuzz::ReplyScriptResponder;
using rocker_fuzz::require;
using velk::zorv_comm::RockerSignalTable;
using velk::zorv_control::AddressType;
using velk::zorv_control::ModbusDevice;
using velk::zorv_control::ModbusSignal;

// Short, so that silent replies cost little; the code paths are the same as
// with the registry's 1000 ms.
constexpr int kResponseTimeoutMs = 10;
constexpr int kSlave = 2;
constexpr std::size_t kMaxReplies = 24;

enum class Operation {
  kReadBits,
  kReadInputBits,
  kReadRegisters,
  kReadInputRegisters,
  kWriteBit,
  kWriteRegister,
  kRawRequest,
  kPollPass,
  kCount
};

bool isResultCode(int code) {
  static const std::set<int> codes = {0, 1, 2, 3, 4, 5, 6, -1, -2, -4};
  return codes.count(code) > 0;
}

void requireResult(int code, const char* operation) {
  require(isResultCode(code), std::string("a documented result code from ") + operation + ", got " +
                                  std::to_string(code));
}

std::vector<ReplyScriptResponder::Reply> scriptFrom(FuzzedDataProvider& input) {
  std::vector<ReplyScriptResponder::Reply> script;
  while (input.remaining_bytes() > 0 && script.size() < kMaxReplies) {
    ReplyScriptResponder::Reply reply;
    const uint8_t how = input.ConsumeIntegral<uint8_t>();
    reply.frame = (how & 0x01) != 0;
    reply.match_function = (how & 0x02) != 0;
    reply.silent = (how & 0x0C) == 0x0C;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    reply.bytes = input.ConsumeBytes<uint8_t>(length);
    script.push_back(std::move(reply));
  }
  return script;
}

void readBitsInto(ModbusDevice& device, bool inputs, int address, int count) {
  // Exactly count bytes on the heap: one byte too many written is a finding.
  std::unique_ptr<uint8_t[]> bits(new uint8_t[static_cast<std::size_t>(std::max(count, 1))]());
  const int result = inputs ? device.readInputBits(address, count, bits.get())
                            : device.readBits(address, count, bits.get());
  requireResult(result, "a bit read");
  if (result != 0) return;
  for (int i = 0; i < count; ++i) require(bits[i] <= 1, "bits read as 0 or 1");
}

void readRegistersInto(ModbusDevice& device, bool inputs, int address, int count) {
  std::unique_ptr<uint16_t[]> words(new uint16_t[static_cast<std::size_t>(std::max(count, 1))]());
  const int result = inputs ? device.readInputRegisters(address, count, words.get())
                            : device.readRegisters(address, count, words.get());
  requireResult(result, "a register read");
}

// The joystick's signals attached as the registry would leave them: some
// healthy and grouped, some in error and due for a probe, some with an
// output pending. Then one full poll pass, as the poll thread runs it.
void pollPass(ModbusDevice& device, FuzzedDataProvider& input,
              std::array<ModbusSignal, RockerSignalTable::kCount>& signals) {
  const auto& table = RockerSignalTable::entries();
  const uint16_t in_error = input.ConsumeIntegral<uint16_t>();
  const uint16_t pending = input.ConsumeIntegral<uint16_t>();
  for (std::size_t i = 0; i < table.size(); ++i) {
    ModbusSignal& signal = signals[i];
    signal.name = table[i].name;
    signal.type = table[i].type;
    signal.address = table[i].address;
    signal.error_state = (in_error >> i) & 1 ? ModbusSignal::kNotYetRead : 0;
    if ((pending >> i) & 1) signal.setOutput(static_cast<uint16_t>(i * 257));
    device.addSignal(&signal);
  }
  device.refreshSignalsGroup();
  // 0.1 s elapsed makes the retry pass and every 10 Hz group due at once.
  requireResult(device.checkErrSignalsAddedToGroup(0.1), "the retry pass");
  requireResult(device.readAllSignals(0.1), "the read pass");
  requireResult(device.checkIfRegroupNeeded(), "the regroup check");
  requireResult(device.writeAllSignals(0.1), "the write pass");
  for (std::size_t i = 0; i < table.size(); ++i) {
    const ModbusSignal& signal = signals[i];
    require(isResultCode(signal.error_state.load()), "a documented error state");
    const AddressType type = signal.type.load();
    if (type == AddressType::Coil || type == AddressType::DiscreteInput) {
      require(signal.value.load() <= 1, "a bit signal holding 0 or 1");
    }
  }
}

void runOperation(ModbusDevice& device, Operation operation, FuzzedDataProvider& input,
                  std::array<ModbusSignal, RockerSignalTable::kCount>& signals) {
  const int address = input.ConsumeIntegral<uint16_t>();
  switch (operation) {
    case Operation::kReadBits:
    case Operation::kReadInputBits:
      readBitsInto(device, operation == Operation::kReadInputBits, address,
                   input.ConsumeIntegralInRange<int>(0, 300));
      break;
    case Operation::kReadRegisters:
    case Operation::kReadInputRegisters:
      readRegistersInto(device, operation == Operation::kReadInputRegisters, address,
                        input.ConsumeIntegralInRange<int>(0, 130));
      break;
    case Operation::kWriteBit:
      requireResult(device.writeBit(address, input.ConsumeIntegral<int>()), "writeBit");
      break;
    case Operation::kWriteRegister:
      requireResult(device.writeRegister(address, input.ConsumeIntegral<int>()), "writeRegister");
      break;
    case Operation::kRawRequest: {
      std::vector<uint8_t> request = input.ConsumeBytes<uint8_t>(input.ConsumeIntegral<uint8_t>());
      requireResult(device.sendRawRequest(request.data(), static_cast<int>(request.size())),
                    "sendRawRequest");
      break;
    }
    case Operation::kPollPass:
    case Operation::kCount:
      pollPass(device, input, signals);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static ReplyScriptResponder responder;
  FuzzedDataProvider input(data, size);
  const auto operation = static_cast<Operation>(
      input.ConsumeIntegralInRange<int>(0, static_cast<int>(Operation::kCount) - 1));
  // The operation's own parameters come from the front, the script from the
  // rest; both are consumed before the device connects.
  const std::vector<uint8_t> parameters = input.ConsumeBytes<uint8_t>(16);
  responder.setScript(scriptFrom(input));

  // Declared before the device, which refers to them until it is gone.
  std::array<ModbusSignal, RockerSignalTable::kCount> signals;
  ModbusDevice device([](int, const char*, int, const std::string&) {}, "127.0.0.1",
                      responder.port(), kSlave, kResponseTimeoutMs);
  require(device.connect() == 0,
          std::string("a connection to the loopback responder: ") + std::strerror(errno));
  FuzzedDataProvider parameter_input(parameters.data(), parameters.size());
  runOperation(device, operation, parameter_input, signals);
  return 0;
}
