#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_dev/modbus_device.h"
#include "communication/modbus_dev/modbus_signal.h"
#include "communication/modbus_wrapper/device_parameters.h"
#include "communication/modbus_wrapper/reserved_device.h"
#include "communication/modbus_wrapper/signal_snapshot.h"

namespace velk::zorv_control {

// The registry of named Modbus signals spread over devices. Callers (the
// rocker service's periodic task) only change tables and signal fields; the
// registry's own poll thread does every bit of Modbus I/O.
//
// Locks: the signal lock before the device lock, never the other way round.
// Changing operations take them with the yielding lock so a periodic task
// gives way instead of blocking its thread; queries and the poll thread block.
class ModbusWrapperImpl {
 public:
  explicit ModbusWrapperImpl(std::function<void(int, const char*, int, const std::string&)> log);
  // Returns only after the poll pass in progress has ended; then closes and
  // releases every device and signal.
  ~ModbusWrapperImpl();

  ModbusWrapperImpl(const ModbusWrapperImpl&) = delete;
  ModbusWrapperImpl& operator=(const ModbusWrapperImpl&) = delete;

  // Splits a device-info text ("path,baud,parity,data,stop" or "host,port")
  // into the outputs. Writes only what the text supplies (and tcp=false for the
  // serial form), so callers preset every output. Always 0.
  static int parseDeviceInfo(std::string device_info, std::string& device_name, std::string& host,
                             int& port, std::string& serial_path, int& baud, char& parity,
                             int& data_bits, int& stop_bits, bool& tcp);

  // parseDeviceInfo over the defaults a text that omits a field falls back to.
  static DeviceParameters parseWithDefaults(const std::string& device_info);

  // The device entered under a device name, or nullptr. Nothing keeps the
  // device alive after the call: the poll thread prunes it in its next pass
  // once it has neither signals nor raw requests. The registry's own
  // operations never call into a device through this; they reserve it
  // (reserveDeviceByName) for as long as they use it.
  ModbusDevice* getModbusDeviceByName(const std::string& name);

  int modbusAddSignal(const std::string& device_info, int slave, int address, int address_type,
                      const std::string& name);
  int modbusDeleteSignal(const std::string& name);
  int modbusDeleteAllSignals();
  int modbusSetSignalUpdateFrequency(const std::string& name, int frequency);

  std::vector<std::string> modbusGetSignalNames() const;
  std::vector<int> modbusGetSignalTypes() const;
  std::vector<int> modbusGetSignalValues() const;
  std::vector<int> modbusGetSignalErrors() const;
  // When each signal's value was last read from its slave (steady clock), in
  // the order of the other queries; the clock's epoch for a signal never
  // read. The age of a value says whether it still tells what the slave
  // holds.
  std::vector<std::chrono::steady_clock::time_point> modbusGetSignalReadTimes() const;
  int modbusGetSignalStatus(const std::string& name) const;
  // Names, values, error states and read times of every signal, taken under
  // one hold of the signal lock, so they belong together whatever changes
  // the table meanwhile; into the caller's buffers, which are resized to the
  // table and otherwise reused (no allocation once they are large enough).
  void modbusGetSignalSnapshot(SignalSnapshot& snapshot) const;

  int modbusSetOutputSignal(const std::string& name, unsigned short value);
  int modbusSendCustomCommand(const std::string& device_info, int slave, int function,
                              const std::vector<unsigned char>& data);

 private:
  // The parameters of a device-info text that can name a device; otherwise
  // nothing, after one Error per text (callers retry the same text often).
  std::optional<DeviceParameters> screenDeviceInfo(const std::string& device_info);

  friend class ReservedDevice;

  // Lookup, and lookup-or-creation. The device comes back reserved: pruning
  // leaves it alone until the ReservedDevice goes, so the caller can empty
  // it, regroup it or attach to it, yielding as often as it must, without
  // the device being released under it.
  ReservedDevice reserveDeviceByName(const std::string& name);
  ReservedDevice obtainReservedDevice(const DeviceParameters& params, int slave);
  ModbusDevice* createDevice(const DeviceParameters& params, int slave) const;
  // Counts a reservation; the device lock must be held.
  ReservedDevice reserveLocked(ModbusDevice* device);
  void releaseDevice(ModbusDevice* device) noexcept;

  // The signal lock must be held by the caller; only the registry can hold
  // it, which is why this is not offered to callers.
  void modbusRemoveSignal(const std::string& name);
  static bool isAt(const ModbusSignal& signal, int address, int address_type);
  void updateSignalInPlace(ModbusSignal& signal, int address, int address_type);
  // Returns the signal to reuse on the new device, or nullptr once removed.
  ModbusSignal* detachForMove(ModbusSignal& signal, const std::string& new_device, int address,
                              int address_type);
  void attachToDevice(ModbusSignal* signal, const DeviceParameters& params, int slave);
  void detachFromDevice(const ModbusSignal& signal);

  // The poll thread's body: passes until the running flag drops.
  void modbusPoll();
  // One pass; elapsed is the time since the previous one began. Returns the
  // seconds from its start until the next pass is due.
  double pollPass(double elapsed);
  // Prunes the device table and copies what is left into pass_devices_.
  void pruneAndSnapshot();
  bool isUnused(ModbusDevice* device) const;
  void serviceDevice(ModbusDevice* device, double elapsed) const;
  void sleepUntilDue(std::chrono::steady_clock::time_point begun, double due);
  // Cuts the poll thread's wait short: something is queued, or the registry
  // is being released.
  void wakePollThread();

  template <class Field>
  std::vector<int> collectSignalField(Field field) const;

  LogCallback log_;
  std::unique_ptr<std::thread> poll_thread_;
  std::atomic<bool> running_;
  bool debug_;
  int poll_period_us_;
  mutable std::mutex device_mutex_;
  mutable std::mutex signal_mutex_;
  std::map<std::string, ModbusDevice*> devices_;
  std::map<std::string, ModbusSignal*> signals_;
  // How many in-flight operations hold each device; guarded by device_mutex_.
  std::map<const ModbusDevice*, int> reservations_;
  std::mutex refused_mutex_;
  std::set<std::string> refused_device_infos_;
  // The devices of the pass in progress, in device-name order; only the poll
  // thread touches it. Kept from pass to pass so that a pass at rest
  // allocates nothing.
  std::vector<ModbusDevice*> pass_devices_;
  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool wake_requested_ = false;
};

}  // namespace velk::zorv_control
