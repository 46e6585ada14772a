/*
 * Control interface of the simulated programmer.
 *
 * The simulator is a shared library named like the real libusb 0.1 library (libusb-0.1.so.4). Put
 * its folder first on LD_LIBRARY_PATH and the program binds it instead of the real one. Besides the
 * libusb 0.1 entry points it exports the ksim_* functions below, which tests look up with
 * dlopen("libusb-0.1.so.4") / dlsym to build a USB world, put chips in the programmer's socket,
 * inject faults and read back every call made.
 *
 * Without any ksim_* call, the first libusb call builds a default world from the environment:
 *   KESTRUM_SIM_PRODUCT    "WinUSBComm" (default) or "WinUSBComm Device"
 *   KESTRUM_SIM_CHIP       none | spi25:<size>[:<jedec hex>] | spi25eeprom:<size> | i2c24:<size> |
 *                          mw93:<size>; sizes take K or M; default spi25:8M:EF4017
 *   KESTRUM_SIM_CHIP_FILE  file that keeps the chip content between runs (read at start, written
 *                          at the end of every job that changed it)
 *   KESTRUM_SIM_CONTENT    erased (default) or pattern (a recognisable image in the first 64 KiB)
 *   KESTRUM_SIM_TIMING     instant (default) or realistic
 * That world holds one bus with one programmer ("VAZEziz", vid 0x1FC8, pid 0x310B).
 *
 * An interface claimed through one handle cannot be claimed through another (-EBUSY), as with the
 * kernel's USB file system.
 *
 * Every function answers in the calling thread. Device ids returned by ksim_add_* are positive;
 * functions returning int give 0 on success and a negative value for an unknown device or an
 * argument out of range.
 */
#ifndef KESTRUM_SIM_KSIM_H
#define KESTRUM_SIM_KSIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of recorded calls. */
enum ksim_call_kind {
    KSIM_CALL_INIT = 1,
    KSIM_CALL_FIND_BUSSES,
    KSIM_CALL_FIND_DEVICES,
    KSIM_CALL_GET_BUSSES,
    KSIM_CALL_OPEN,
    KSIM_CALL_CLOSE,
    KSIM_CALL_CONTROL,
    KSIM_CALL_CLAIM,
    KSIM_CALL_RELEASE,
    KSIM_CALL_BULK_WRITE,
    KSIM_CALL_BULK_READ,
    KSIM_CALL_CLEAR_HALT,
    KSIM_CALL_OTHER
};

/* Recording levels. */
enum ksim_recording {
    KSIM_RECORD_OFF = 0, /* nothing is recorded (benchmarks) */
    KSIM_RECORD_CALLS = 1, /* every call; bytes of control transfers, command blocks and replies */
    KSIM_RECORD_ALL = 2 /* also the bytes of every data block */
};

/* One recorded call. */
struct ksim_call
{
    int kind; /* enum ksim_call_kind */
    int device; /* device id; 0 when the call concerns no device */
    int endpoint; /* bulk: endpoint; claim/release: interface number; control: request type */
    int request; /* control: request */
    int value; /* control: value */
    int index; /* control: index */
    int length; /* bytes asked for */
    int timeout; /* milliseconds */
    int result; /* what the call returned (for open: 1 for a handle, 0 for null) */
    int byte_count; /* bytes recorded in bytes (0 when not recorded) */
    const uint8_t* bytes; /* written bytes, or received bytes; valid until the next reset or clear */
};

/* Device faults, set with ksim_set_device_fault; arg 0 clears a fault. Errors follow libusb 0.1:
   usb_open returns null and leaves the reason in errno; every other call returns a negated errno. */
enum ksim_device_fault {
    KSIM_OPEN_FAILS = 1, /* usb_open returns null with errno EACCES (arg 1) or arg (arg above 1) */
    KSIM_STRING_FAILS = 2, /* the string descriptor of index arg cannot be fetched */
    KSIM_CLAIM_FAILS = 3, /* usb_claim_interface fails with -EBUSY (arg 1) or -arg (arg above 1) */
    KSIM_NO_CONFIG = 4, /* the device describes no configuration */
    KSIM_READ_ONLY = 5 /* the device node grants read access only: usb_open still succeeds (libusb 0.1
                          then opens it read-only), and every request on that handle, control and
                          bulk transfers and claims, fails with -EPERM */
};

/* Chip kinds for ksim_insert_chip. */
enum ksim_chip_kind {
    KSIM_CHIP_NONE = 0,
    KSIM_CHIP_SPI_FLASH = 1, /* 25-series NOR flash: programming only clears bits */
    KSIM_CHIP_I2C_EEPROM = 2, /* 24-series */
    KSIM_CHIP_MW_EEPROM = 3, /* 93-series */
    KSIM_CHIP_SPI_EEPROM = 4 /* 25-series EEPROM */
};

/* Transfer faults, armed with ksim_arm_fault. The transfer number counts the bulk transfers of
   the device (both directions) from the call that armed it, starting at 1. */
enum ksim_transfer_fault {
    KSIM_FAULT_UNPLUG = 1, /* the device vanishes at that transfer: -ENODEV from then on */
    KSIM_FAULT_TIMEOUT = 2, /* that transfer times out (-ETIMEDOUT), nothing moves */
    KSIM_FAULT_SHORT = 3, /* that transfer moves half the bytes asked for */
    KSIM_FAULT_STALL = 4, /* the endpoint of that transfer halts (-EPIPE) until cleared */
    KSIM_FAULT_NOISE = 5 /* that transfer, when it reads, moves every byte but comes with bit 4 of its
                            first byte flipped, as a long wire or a clip on a board does now and then;
                            a write moves unharmed */
};

/* Programmer state, for assertions. */
struct ksim_state
{
    int setup_valid; /* an OP_SETUP or OP_IDENTIFY arrived since the last OP_END */
    int chip_class;
    int subtype;
    int page_size;
    int delay;
    uint32_t size;
    uint32_t chip_id;
    int clock;
    int voltage;
    int four_byte_mode; /* 0xB7 was received in this job */
    int jobs_ended; /* OP_END count */
    int protocol_errors; /* commands or data the firmware could not make sense of */
    int erase_commands; /* OP_ERASE count */
    int status_polls; /* OP_STATUS count */
    int erase_busy; /* the chip is busy erasing */
    uint32_t cursor; /* address of the next byte of the current stream */
    uint32_t bytes_read; /* data bytes sent to the host since the last reset */
    uint32_t bytes_written; /* data bytes received from the host since the last reset */
};

/* World. */
void ksim_reset(void); /* an empty world, instant timing, recording KSIM_RECORD_CALLS; the world
                          built without a control call records nothing */
int ksim_add_bus(void); /* returns the bus number, from 1 */
int ksim_add_device(int bus, int vendor_id, int product_id, const char* manufacturer, const char* product,
    int interface_number); /* a device without firmware; strings at indexes 1 and 2 */
int ksim_add_programmer(int bus, const char* product); /* the programmer; product selects endpoints */
int ksim_set_ids(int device, int vendor_id, int product_id);
int ksim_set_string_indexes(int device, int manufacturer_index, int product_index);
int ksim_set_string(int device, int index, const uint16_t* units, int count); /* UTF-16 units */
int ksim_set_descriptor(int device, int index, const uint8_t* bytes, int length); /* raw reply */
int ksim_set_device_fault(int device, int fault, int arg);
int ksim_unplug(int device);
int ksim_plug(int device);
int ksim_open_handles(void); /* handles opened and not yet closed */

/* Programmer firmware and socket. */
int ksim_insert_chip(int device, int kind, uint32_t size, uint32_t jedec_id); /* erased content */
uint8_t* ksim_chip_bytes(int device, uint32_t* size); /* the chip's cells; null without a chip */
int ksim_set_chip_file(int device, const char* path);
/* The identify reply's byte 0 for the chip in the socket; -1 (the default) answers by its kind as the
 * programmer does, a 25-series EEPROM with 0 like an empty socket. */
int ksim_set_identify_kind(int device, int kind);
int ksim_set_erase_polls(int device, int polls); /* busy status polls after a chip erase; -1 never ends */
void ksim_set_timing(int realistic);
int ksim_arm_fault(int device, int fault, int at_transfer);
int ksim_get_state(int device, struct ksim_state* out);

/* Recording. */
void ksim_set_recording(int level);
int ksim_call_count(void);
int ksim_get_call(int i, struct ksim_call* out);
void ksim_clear_calls(void);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUM_SIM_KSIM_H */
