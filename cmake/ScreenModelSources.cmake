# The emulated screen's model: plain C++ (no umockdev, no GLib), so the unit
# tests and the fuzz targets build it on every target, without the emulator.
file(GLOB TSD_SCREEN_MODEL_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/emulator/screen_model.cpp
     ${PROJECT_SOURCE_DIR}/emulator/command_*.cpp
     ${PROJECT_SOURCE_DIR}/emulator/block_storage*.cpp
     ${PROJECT_SOURCE_DIR}/emulator/calibration_*.cpp
     ${PROJECT_SOURCE_DIR}/emulator/controller_parameters.cpp
     ${PROJECT_SOURCE_DIR}/emulator/sensor*.cpp
     ${PROJECT_SOURCE_DIR}/emulator/input_reports.cpp
     # The screen as a USB device over USB/IP: plain sockets, no kernel needed
     # to play it against the unit tests.
     ${PROJECT_SOURCE_DIR}/emulator/screen_identity.cpp
     ${PROJECT_SOURCE_DIR}/emulator/usbip_wire.cpp
     ${PROJECT_SOURCE_DIR}/emulator/usbip_device.cpp
     ${PROJECT_SOURCE_DIR}/emulator/usb_*.cpp)
