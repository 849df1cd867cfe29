#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/. Run it again after changing
the input layout of a fuzz target; the seeds it writes are committed.

libFuzzer's FuzzedDataProvider takes byte strings from the front of an
input and integers from the back (most significant byte first), so inputs
are assembled from a front part and a back part here."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Input:
    def __init__(self):
        self.front = b""
        self.back = []  # bytes in the order they are consumed

    def integral(self, value, size):
        for i in reversed(range(size)):
            self.back.append((value >> (8 * i)) & 0xFF)
        return self

    def bytes(self, data):
        self.front += data
        return self

    def data(self, size=None):
        back = bytes(reversed(self.back))
        padding = b"" if size is None else b"\x00" * (size - len(self.front) - len(back))
        return self.front + padding + back


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def device_info():
    seeds = {
        "serial_default": b"/dev/ttyUSB0,115200,N,8,1",
        "empty": b"",
        "tcp": b"127.0.0.1,1502",
        "tcp_empty_fields": b",,127.0.0.1,,502,",
        "three_fields": b"127.0.0.1,502,E",
        "parity_word": b"/dev/ttyS1,9600,Even,8,1",
        "blanks": b"/dev/ttyS1, 9600, N, 8, 1",
        "six_fields": b"/dev/ttyS1,9600,N,8,1,extra",
        "signed_port": b"localhost,+0502",
        "huge_number": b"/dev/ttyS1,99999999999999999999,O,-7,2",
    }
    return seeds


def start_options():
    seeds = {
        "empty": b"",
        "all_keys": b'cycle = 0.004\ndevice_info = "127.0.0.1,1502"\ntool_x = -1\n'
                    b'tool_y = 2\ntool_z = 3\nori_velc = 0.005\nacc = 1.0\ndebug = 1\n'
                    b'rotation = 0.785\npose_speed_fast = 0.1\npose_speed_slow = 0.01\n',
        "wrong_types": b'cycle = 1\ndevice_info = 5\ntool_x = 1.0\ndebug = true\n'
                       b'acc = "fast"\nrotation = [1.0]\n',
        "tables": b'[rocker]\ncycle = 0.02\n[[list]]\na = {b = {c = 1}}\n',
        "non_finite_floats": b"cycle = nan\nacc = inf\nrotation = -0.0\n"
                          b"pose_speed_fast = 1e308\ntool_x = 9223372036854775807\n",
        "strings": b"device_info = '''\n/dev/ttyS0,\\u00e9\n'''\n"
                   b'other = "\\u4e2d\\u6587"\n',
        "dates": b"when = 1979-05-27T07:32:00Z\nday = 1979-05-27\nt = 07:32:00\n",
        "syntax_error": b"cycle = = 0.01\n",
    }
    return seeds


def package_file():
    def seed(present, version, content):
        # ConsumeRandomLengthString ends at a backslash followed by another
        # character.
        return Input().integral(1 if present else 0, 1).bytes(
            version.replace(b"\\", b"\\\\") + b"\\x" + content).data()

    seeds = {
        "missing": seed(False, b"1.1.3", b""),
        "same_version": seed(True, b"1.1.3", b'{\n    "firmware_version": "1.1.3"\n}'),
        "other_members": seed(True, b"1.2.0",
                              b'{"b": [1, 2, {"c": null}], "firmware_version": "1.1.3", "a": 1.5}'),
        "empty_object": seed(True, b"0.0.0", b"{}"),
        "not_json": seed(True, b"1.1.3", b"firmware_version=1.1.3"),
        "array": seed(True, b"1.1.3", b'["firmware_version"]'),
        "number_member": seed(True, b"1.1.3", b'{"firmware_version": 113}'),
        "bad_utf8_version": seed(False, b"\xff\xfe", b""),
        "trailing_text": seed(True, b"2.0.1", b'{"firmware_version": "1.0.0"} trailing'),
        "unicode": seed(True, b"1.1.3", '{"名前": "摇杆", "firmware_version": "1.1.2"}'.encode()),
    }
    return seeds


def command_line():
    seeds = {
        "help_long": b"\x01\x00--help",
        "help_short": b"\x01\x00-h",
        "version": b"\x01\x00-v",
        "status_value": b"\x01\x00--status=false",
        "grouped": b"\x01\x00-hvc",
        "unknown": b"\x01\x00--bogus",
        "positional": b"\x01\x00extra\x00words",
        "other_action": b"\x00action2\x00--help",
        "trailing_space": b"\x00action1 \x00-h",
        "double_dash": b"\x01\x00--\x00-h",
    }
    return seeds


# Operations of the Modbus reply target, in its order.
READ_BITS, READ_INPUT_BITS, READ_REGISTERS, READ_INPUT_REGISTERS = 0, 1, 2, 3
WRITE_BIT, WRITE_REGISTER, RAW_REQUEST, POLL_PASS = 4, 5, 6, 7
FRAME, MATCH_FUNCTION, SILENT = 0x01, 0x02, 0x0C


def modbus_input(operation, parameters, replies):
    """parameters: an Input holding the operation's own parameters (at most
    16 bytes); replies: (how, pdu) pairs."""
    p = parameters.data(16)
    seed = Input().integral(operation, 1).bytes(p)
    for how, pdu in replies:
        seed.integral(how, 1).integral(len(pdu), 2).bytes(pdu)
    return seed.data()


def read_parameters(address, count):
    return Input().integral(address, 2).integral(count, 2)


def modbus_reply():
    regs = struct.pack(">9H", 10, 20, 300, 0, 0, 0, 1, 0x1083, 0x2100)
    seeds = {
        "input_registers_ok": modbus_input(
            READ_INPUT_REGISTERS, read_parameters(256, 9), [(FRAME, b"\x04\x12" + regs)]),
        "coils_ok": modbus_input(
            READ_BITS, read_parameters(0, 18), [(FRAME, b"\x01\x03\x03\x00\x03")]),
        "exception": modbus_input(
            READ_REGISTERS, read_parameters(512, 1), [(FRAME, b"\x83\x02")]),
        "wrong_count": modbus_input(
            READ_INPUT_REGISTERS, read_parameters(256, 9), [(FRAME, b"\x04\x02\x00\x01")]),
        "unframed": modbus_input(
            READ_INPUT_BITS, read_parameters(0, 8), [(0, b"\x00\x01\x00\x00\x00\x04\x02\x02\x01")]),
        "silent_then_late": modbus_input(
            READ_REGISTERS, read_parameters(0, 2),
            [(SILENT, b""), (FRAME, b"\x03\x04\x00\x01\x00\x02")]),
        "write_register_echo": modbus_input(
            WRITE_REGISTER, Input().integral(512, 2).integral(0x1234, 4),
            [(FRAME, b"\x06\x02\x00\x12\x34")]),
        "write_bit_exception": modbus_input(
            WRITE_BIT, Input().integral(16, 2).integral(1, 4), [(FRAME, b"\x85\x04")]),
        "raw_request": modbus_input(
            RAW_REQUEST, Input().integral(0, 2).integral(6, 1).bytes(b"\x02\x03\x00\x00\x00\x01"),
            [(FRAME, b"\x03\x02\x00\x07")]),
        "poll_pass": modbus_input(
            POLL_PASS, Input().integral(0, 2).integral(0x0003, 2).integral(0x3800, 2),
            [(FRAME | MATCH_FUNCTION, b"\x01\x01\x01"), (FRAME | MATCH_FUNCTION, b"\x01\x01\x00"),
             (FRAME, b"\x01\x03\x03\x00\x03"), (FRAME, b"\x03\x02\x00\x01"),
             (FRAME, b"\x04\x12" + regs), (FRAME, b"\x05\x00\x10\xff\x00"),
             (FRAME, b"\x06\x02\x00\x0c\x0d")]),
    }
    return seeds


if __name__ == "__main__":
    for target in (device_info, start_options, package_file, command_line, modbus_reply):
        for name, data in target().items():
            write(target.__name__, name, data)
