#include "platform/SerialByIdDirectory.h"

#include <QTemporaryDir>

#include <filesystem>

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

TEST(SerialByIdDirectoryTest, ListsTheLinkNamesSortedAndNothingWhenMissing) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const fs::path byId = fs::path(root.path().toStdString()) / "serial" / "by-id";
    // Nothing plugged in: udev has not made the directory.
    EXPECT_TRUE(SerialByIdDirectory(byId.string()).Names().empty());

    fs::create_directories(byId);
    // udev's links point at the tty devices; a dangling one is still listed by name.
    fs::create_symlink("../../ttyUSB1", byId / "usb-FTDI_FT232R_USB_UART_Q77-if00-port0");
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    const SerialByIdDirectory directory(byId.string());
    EXPECT_EQ(directory.Path(), byId.string());
    EXPECT_EQ(directory.Names(),
              (std::vector<std::string>{"usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                                        "usb-FTDI_FT232R_USB_UART_Q77-if00-port0"}));
    EXPECT_EQ(SerialByIdDirectory().Path(), "/dev/serial/by-id");
}

}  // namespace
}  // namespace vigiltron
