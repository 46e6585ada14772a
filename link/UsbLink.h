#pragma once

#include "link/ProgrammerList.h"
#include "link/UsbBinding.h"

#include <QObject>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace kestrum {

/// The program's only path to the programmer hardware.
///
/// Finds the programmer on the USB bus by vendor and product id and by its string descriptors,
/// opens it, claims its interface, chooses one of two endpoint sets from the product string, and
/// then moves fixed-size blocks over bulk endpoints: 64-byte command blocks (with an optional
/// 64-byte reply) on the command pipe and data blocks on the data pipe. It knows nothing of chips
/// or commands. Results are plain integers; diagnostics go to the "kestrum.link" log category only.
///
/// The link is held open for one operation at a time: open, work, close. Destroying the transport
/// does not close an open device; callers close before they let go.
///
/// Several links may work at once from several threads, each on its own programmer: libusb 0.1
/// keeps one bus list for the whole process, so the search of open() and listProgrammers() runs
/// under one process-wide lock; transfers on distinct handles run side by side.
class UsbLink : public QObject
{
public:
    using SleepFunction = std::function<void(int milliseconds)>;

    static constexpr int ProgrammerVendorId = 0x1FC8;
    static constexpr int ProgrammerProductId = 0x310B;
    /// The fixed manufacturer string of the programmer.
    static constexpr const char* ManufacturerString = "VAZEziz";
    static constexpr const char* ProductWithDevice = "WinUSBComm Device";
    static constexpr const char* ProductPlain = "WinUSBComm";

    static constexpr int BulkTimeoutMs = 5000;
    /// Time-out for a command that only tidies up after a failed transfer (the end of a job on a
    /// link that has faulted): a programmer that is gone or hung then costs no full time-out more.
    static constexpr int ShortTimeoutMs = 500;
    static constexpr int ReplyPauseMs = 50;
    static constexpr int StringTimeoutMs = 1000;
    static constexpr int ControlTimeoutMs = 7000;
    static constexpr int StringLanguageId = 0x0409;
    static constexpr int StringBufferSize = 256;
    /// What the three transfers return when no device is open (-ENODEV, as libusb reports a
    /// vanished device).
    static constexpr int NotOpen = -19;

    /// Why the last open() opened no programmer.
    enum class OpenFailure {
        None, ///< the programmer was opened
        Absent, ///< no device with the vendor and product ids is on the bus (or there is no library)
        NoAccess, ///< opening or using the device was not permitted (EACCES, EPERM): device access
        Busy, ///< its interface is claimed by another program (EBUSY)
        WrongStrings, ///< it does not name itself as the programmer (manufacturer or product string)
        Other, ///< another error of the library; detail holds its text
    };
    /// The failure of the last open(), from the first device with matching ids that failed.
    struct OpenProblem
    {
        OpenFailure failure = OpenFailure::None;
        /// WrongStrings: the string that did not match; Other: the library's error text.
        QByteArray detail;
        bool operator==(const OpenProblem&) const = default;
    };

    /// The transport binds the libusb 0.1 library of that file name at every open(); tests pass
    /// a name that does not exist to run without a library.
    explicit UsbLink(QObject* owner = nullptr, QByteArray libraryName = UsbBinding::DefaultLibrary);

    /// Searches the buses for the programmer and opens it: 1 when a matching device was opened and
    /// its interface claimed, 0 otherwise (every device it opened on the way is closed again; why
    /// is in openProblem()).
    int open(int vendorId, int productId);
    [[nodiscard]] const OpenProblem& openProblem() const { return m_openProblem; }

    /// The programmer that open() takes: only the one at that location (ProgrammerInfo); with an
    /// empty location, the first one found, as with one programmer attached.
    void setLocation(const QByteArray& location) { m_location = location; }
    [[nodiscard]] const QByteArray& location() const { return m_location; }
    /// The location of the programmer the last successful open() took.
    [[nodiscard]] const QByteArray& openedLocation() const { return m_openedLocation; }
    /// Every attached programmer (the ids of the programmer and its manufacturer string; devices
    /// that cannot be opened are listed too, as "no access"), in bus order. Each one is opened,
    /// claimed and closed again to learn its state; the link is closed first.
    std::vector<ProgrammerInfo> listProgrammers();
    /// The locations of the devices with the programmer's ids, in bus order, without opening any:
    /// a cheap look at how many may be attached.
    std::vector<QByteArray> programmerLocations();

    /// Writes length bytes of the block to commandEndpoint; when readReply is set, pauses
    /// 50 ms and reads length bytes from readEndpoint into the same block. A command write that
    /// fails or moves fewer bytes than asked ends the exchange at once: no pause, no reply read
    /// (the programmer has no whole command to answer, and the read would only wait out its
    /// time-out). Both transfers use timeoutMs. Returns the result of the last libusb transfer
    /// performed; the result of the command write alone goes to commandWritten when given. Without
    /// an open device nothing is transferred (the pause before a reply still happens) and NotOpen
    /// is returned.
    int sendCommand(
        quint8* block, int length, bool readReply, int* commandWritten = nullptr, int timeoutMs = BulkTimeoutMs);
    /// One bulk write of length bytes to writeEndpoint; the libusb result (bytes or negative error).
    int writeData(const quint8* data, int length);
    /// One bulk read of length bytes from readEndpoint; the libusb result (bytes or negative error).
    int readData(quint8* data, int length);
    /// Releases the interface and closes the device; nothing when no device is open.
    void close();

    /// True when a bulk transfer on the link opened last failed or moved fewer bytes than asked:
    /// the programmer is gone, hung or out of step. Cleared by open() and close().
    [[nodiscard]] bool linkFaulted() const { return m_linkFaulted; }
    /// True when a bulk transfer on the link opened last found the device gone (-ENODEV): it was
    /// unplugged or lost its power. Cleared by open() only.
    [[nodiscard]] bool deviceVanished() const { return m_deviceVanished; }

    /// Reads a string descriptor and folds it to 8-bit text: "?" for characters above 0xFF.
    /// Returns the characters stored, 0 when the reply is not a string descriptor, or the negative
    /// libusb error.
    int readStringAscii(usb_dev_handle* handle, int index, int languageId, char* destination, int destinationSize);

    /// One vendor control transfer on the open device (request type = direction << 7 | 0x40, value
    /// and index little-endian from the four setup bytes, time-out 7000 ms). The libusb result, or
    /// -1 when that is negative. Unused by the program.
    int controlTransfer(quint8 direction, quint8 request, const quint8* setup, quint8* data, int size);

    // State.
    [[nodiscard]] usb_dev_handle* deviceHandle() const { return m_deviceHandle; }
    [[nodiscard]] int readEndpoint() const { return m_readEndpoint; }
    [[nodiscard]] int writeEndpoint() const { return m_writeEndpoint; }
    [[nodiscard]] int commandEndpoint() const { return m_commandEndpoint; }
    [[nodiscard]] int interfaceNumber() const { return m_interfaceNumber; }

    /// The pause used between a command and its reply, and by the protocol between status polls.
    /// Defaults to a real sleep; tests and benchmarks replace it.
    void setSleepFunction(SleepFunction sleep);
    void sleepMs(int milliseconds) const;

    [[nodiscard]] const UsbBinding& binding() const { return m_usb; }

private:
    void selectEndpoints(int readEndpoint, int writeEndpoint, int commandEndpoint);
    /// bInterfaceNumber of the first alternate setting of the first interface of the first
    /// configuration; false when the device describes no such setting.
    static bool firstInterfaceNumber(const struct usb_device* device, int* number);
    /// Tries one device with matching ids; true when it is open and claimed.
    /// Calls `visit` with every attached device of these ids and its location, under the bus
    /// list's lock, until it returns false; true when it did.
    bool visitDevices(
        int vendorId, int productId, const std::function<bool(struct usb_device*, const QByteArray&)>& visit);
    bool tryDevice(struct usb_device* device);
    void rejectDevice();
    /// Rejects the device and keeps the failure unless an earlier device's failure is kept already.
    void rejectDevice(OpenFailure failure, const QByteArray& detail);
    /// The failure a negative libusb result (a negated errno) stands for.
    [[nodiscard]] static OpenFailure failureOf(int error);
    [[nodiscard]] QByteArray lastError() const;
    /// Logs a failed transfer and marks the link faulted when result is not the length asked.
    int noteTransfer(int result, int length);

    UsbBinding m_usb;
    SleepFunction m_sleep;
    usb_dev_handle* m_deviceHandle = nullptr;
    int m_readEndpoint = 0;
    int m_writeEndpoint = 0;
    int m_commandEndpoint = 0;
    int m_interfaceNumber = 0;
    bool m_linkFaulted = false;
    bool m_deviceVanished = false;
    OpenProblem m_openProblem;
    QByteArray m_location;
    QByteArray m_openedLocation;
    QByteArray m_triedProduct; ///< the product string of the device tried last; empty when unread
};

} // namespace kestrum
