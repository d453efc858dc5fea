# The access rule for the screens' hidraw nodes, written at configure time
# from the list the library compiles in (no target program runs, so cross
# builds make it too). The person at the seat gets the node through uaccess;
# a service without a seat gets it through the touchsdk group.
set(TSD_SUPPORTED_DEVICES_LIST ${PROJECT_SOURCE_DIR}/src/device/supported_devices.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TSD_SUPPORTED_DEVICES_LIST})
file(STRINGS ${TSD_SUPPORTED_DEVICES_LIST} _tsd_devices REGEX "^TSD_SUPPORTED_DEVICE\\(")

set(TSD_UDEV_RULE "# Made from the library's list of supported screens; do not edit.\n")
set(TSD_MODALIASES "")
foreach(line IN LISTS _tsd_devices)
    if(NOT line MATCHES "^TSD_SUPPORTED_DEVICE\\(0x([0-9A-Fa-f]+), *0x([0-9A-Fa-f]+)\\)$")
        message(FATAL_ERROR "${TSD_SUPPORTED_DEVICES_LIST}: cannot read '${line}'")
    endif()
    # sysfs spells the IDs as four lower-case hex digits.
    string(TOLOWER "${CMAKE_MATCH_1}" _vendor)
    string(TOLOWER "${CMAKE_MATCH_2}" _product)
    string(APPEND TSD_UDEV_RULE
        "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"${_vendor}\", ATTRS{idProduct}==\"${_product}\", "
        "TAG+=\"uaccess\", GROUP=\"touchsdk\", MODE=\"0660\"\n")
    # Modaliases spell them upper-case: usb:vE2C4p0001d*.
    string(TOUPPER "${_vendor}" _vendor)
    string(TOUPPER "${_product}" _product)
    string(APPEND TSD_MODALIASES "    <modalias>usb:v${_vendor}p${_product}d*</modalias>\n")
endforeach()
set(TSD_UDEV_RULE_FILE ${PROJECT_BINARY_DIR}/70-touchsdk.rules)
file(CONFIGURE OUTPUT ${TSD_UDEV_RULE_FILE} CONTENT "${TSD_UDEV_RULE}" @ONLY)

# The same screens as AppStream modaliases, so that software centres can
# offer the tools when such a screen is plugged in.
set(TSD_METAINFO_FILE ${PROJECT_BINARY_DIR}/org.touchsdk.tools.metainfo.xml)
configure_file(${CMAKE_CURRENT_LIST_DIR}/metainfo.xml.in ${TSD_METAINFO_FILE} @ONLY)
install(FILES ${TSD_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT tools)

# udev reads rules from its own directory whatever our prefix is; the udev
# package says where that is (Debian 12: /lib/udev).
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
    pkg_get_variable(_tsd_udevdir udev udevdir)
endif()
if(_tsd_udevdir)
    set(_tsd_rules_default ${_tsd_udevdir}/rules.d)
else()
    set(_tsd_rules_default lib/udev/rules.d)
endif()
set(TSD_UDEV_RULES_DIR ${_tsd_rules_default} CACHE PATH "Where the udev rule is installed")
install(FILES ${TSD_UDEV_RULE_FILE} DESTINATION ${TSD_UDEV_RULES_DIR} COMPONENT tools)
