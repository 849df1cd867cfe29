#include "communication/modbus_dev/modbus_result.h"

namespace velk::zorv_control {

const char* modbusResultText(int result) {
  switch (result) {
    case kModbusOk:
      return "ok";
    case kModbusIllegalFunction:
      return "illegal function";
    case kModbusIllegalAddress:
      return "illegal data address";
    case kModbusBadValueOrReply:
      return "illegal data value, bad reply, or disconnected";
    case kModbusSlaveFailure:
      return "slave failure";
    case kModbusAcknowledge:
      return "acknowledge";
    case kModbusBusyOrTimeout:
      return "busy, or no reply in time";
    case kModbusNoContext:
      return "no connection made";
    case kModbusNotConnected:
      return "not connected, or connection lost";
    case kModbusTooManyData:
      return "too many data";
    default:
      return "unknown result code";
  }
}

}  // namespace velk::zorv_control
