#include "common/port_map.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::common;

TEST(PortMap, MapFileWinsThenWindowsNumbering) {
    test::TempDir dir;
    std::ofstream(dir / "ports.ini") << "# test map\ncom3 = /dev/pts/7\r\nLPT2=/tmp/lp\n";
    const PortMap map(dir / "ports.ini");
    EXPECT_EQ(map.Resolve("COM3"), "/dev/pts/7");
    EXPECT_EQ(map.Resolve("LPT2"), "/tmp/lp");
    EXPECT_EQ(map.Resolve("COM1"), "/dev/ttyS0");
    EXPECT_EQ(map.Resolve("COM10"), "/dev/ttyS9");
    EXPECT_EQ(map.Resolve("LPT1"), "/dev/lp0");
    EXPECT_EQ(map.Resolve("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(map.Resolve("COM"), "COM");
    EXPECT_EQ(map.Resolve("无"), "无");
    EXPECT_EQ(PortMap(dir / "missing.ini").Resolve("COM2"), "/dev/ttyS1");
}
