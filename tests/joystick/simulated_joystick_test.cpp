// The simulated joystick as a Modbus master sees it: the register map, the
// lights mirrored to their read-backs, and a connection that drops and
// comes back with the joystick's state kept.
#include "joystick_sim/simulated_joystick.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <array>
#include <cstdint>
#include <string>

#include "joystick_sim/joystick_map.h"

namespace {

using velk::joystick_sim::Button;
using velk::joystick_sim::JoystickLights;
using velk::joystick_sim::JoystickMap;
using velk::joystick_sim::SimulatedJoystick;

constexpr std::chrono::seconds kLifetime{30};

// A libmodbus master on the joystick's device-info string.
class Master {
 public:
  explicit Master(const std::string& device_info) {
    const auto comma = device_info.find(',');
    const std::string first = device_info.substr(0, comma);
    context_ = device_info.find(",115200,") != std::string::npos
                   ? modbus_new_rtu(first.c_str(), 115200, 'N', 8, 1)
                   : modbus_new_tcp(first.c_str(), std::stoi(device_info.substr(comma + 1)));
    modbus_set_slave(context_, JoystickMap::kUnit);
    modbus_set_response_timeout(context_, 1, 0);
  }
  ~Master() {
    modbus_close(context_);
    modbus_free(context_);
  }
  bool connect() { return modbus_connect(context_) == 0; }
  void close() { modbus_close(context_); }
  bool readInputs(int address, int count, uint16_t* out) {
    return modbus_read_input_registers(context_, address, count, out) == count;
  }
  bool readCoils(int address, int count, uint8_t* out) {
    return modbus_read_bits(context_, address, count, out) == count;
  }
  bool writeCoil(int address, bool on) { return modbus_write_bit(context_, address, on) == 1; }
  bool writeRegister(int address, int value) {
    return modbus_write_register(context_, address, value) == 1;
  }

 private:
  modbus_t* context_ = nullptr;
};

using Transport = SimulatedJoystick::Transport;
const Transport kTransports[] = {Transport::kTcp, Transport::kRtu};

TEST(SimulatedJoystick, OverTcpAndRtuServesTheRegisterMapAndMirrorsTheLights) {
  for (Transport transport : kTransports) {
    SCOPED_TRACE(transport == Transport::kTcp ? "TCP" : "RTU");
    SimulatedJoystick joystick(transport, kLifetime);
    EXPECT_EQ(joystick.deviceInfo().rfind("127.0.0.1,", 0) == 0, transport == Transport::kTcp);
    joystick.setStick({500, -500, 0, 1, -1, 32767});
    joystick.setButton(Button::kSpeed, true);
    Master master(joystick.deviceInfo());
    ASSERT_TRUE(master.connect());
    std::array<uint16_t, 9> inputs{};
    ASSERT_TRUE(master.readInputs(JoystickMap::kFirstAxisRegister, 9, inputs.data()));
    EXPECT_EQ(static_cast<int16_t>(inputs[1]), -500);  // axes are two's complement
    EXPECT_EQ(static_cast<int16_t>(inputs[4]), -1);
    EXPECT_EQ(inputs[5], 32767);
    EXPECT_EQ(inputs[7], JoystickMap::kFirmwareWord);
    EXPECT_EQ(inputs[8], JoystickMap::kHardwareWord);
    std::array<uint8_t, 2> buttons{};
    ASSERT_TRUE(master.readCoils(JoystickMap::kPowerButtonCoil, 2, buttons.data()));
    EXPECT_EQ(buttons, (std::array<uint8_t, 2>{0, 1}));

    ASSERT_TRUE(master.writeCoil(JoystickMap::kPowerLightCoil, true));
    ASSERT_TRUE(master.writeRegister(JoystickMap::kIndicatorRegister, 4));
    EXPECT_EQ(joystick.lights(), (JoystickLights{true, false, 4}));
    joystick.mirrorLights();
    std::array<uint8_t, 2> read_backs{};
    ASSERT_TRUE(master.readCoils(JoystickMap::kPowerLightReadBack, 2, read_backs.data()));
    EXPECT_EQ(read_backs, (std::array<uint8_t, 2>{1, 0}));
    uint16_t indicator = 0;
    ASSERT_TRUE(master.readInputs(JoystickMap::kIndicatorReadBack, 1, &indicator));
    EXPECT_EQ(indicator, 4);
  }
}

// Unplugged, the master's next request fails; plugged in again, a new
// connection finds the stick where it was left and the lights as written.
TEST(SimulatedJoystick, OverTcpAndRtuAnUnpluggedJoystickComesBackWithItsState) {
  for (Transport transport : kTransports) {
    SCOPED_TRACE(transport == Transport::kTcp ? "TCP" : "RTU");
    SimulatedJoystick joystick(transport, kLifetime);
    joystick.setStick({0, 0, 300, 0, 0, 0});
    Master master(joystick.deviceInfo());
    ASSERT_TRUE(master.connect());
    ASSERT_TRUE(master.writeCoil(JoystickMap::kSpeedLightCoil, true));
    joystick.unplug();
    uint16_t z = 0;
    EXPECT_FALSE(master.readInputs(JoystickMap::kFirstAxisRegister + 2, 1, &z));
    EXPECT_EQ(joystick.lights().speed, true);
    joystick.plugIn();
    master.close();
    ASSERT_TRUE(master.connect());
    ASSERT_TRUE(master.readInputs(JoystickMap::kFirstAxisRegister + 2, 1, &z));
    EXPECT_EQ(z, 300);
    EXPECT_EQ(joystick.lights().speed, true);
  }
}

TEST(SimulatedJoystick, AnAddressCanAnswerAnException) {
  SimulatedJoystick joystick(SimulatedJoystick::Transport::kTcp, kLifetime);
  Master master(joystick.deviceInfo());
  ASSERT_TRUE(master.connect());
  joystick.rejectAddress(JoystickMap::kFirstAxisRegister, 2);
  uint16_t x = 0;
  EXPECT_FALSE(master.readInputs(JoystickMap::kFirstAxisRegister, 1, &x));
  EXPECT_EQ(errno, EMBXILADD);
  joystick.rejectAddress(JoystickMap::kFirstAxisRegister, 0);
  EXPECT_TRUE(master.readInputs(JoystickMap::kFirstAxisRegister, 1, &x));
}

}  // namespace
