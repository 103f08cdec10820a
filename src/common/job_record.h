// One spooler job as it stood at its last sighting in its queue: an owned
// copy of the fields of the spooler's level-2 job information. Written by the
// monitor thread, read by one recorder thread, released by the monitor thread
// once that thread has ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/date_time.h"

// Flags of the device mode's dmFields: DM_PAPERSIZE, DM_COPIES, DM_COLOR,
// DM_DUPLEX and DM_FORMNAME.
inline constexpr std::uint32_t deviceModePaperSize = 0x2;
inline constexpr std::uint32_t deviceModeCopies = 0x100;
inline constexpr std::uint32_t deviceModeColor = 0x800;
inline constexpr std::uint32_t deviceModeDuplex = 0x1000;
inline constexpr std::uint32_t deviceModeFormName = 0x10000;

// The device mode's fields that describe the printout; each means something
// only when its flag is in dmFields.
struct DeviceModeDetails {
    std::int16_t dmColor = 0;     // 1 monochrome, 2 colour
    std::int16_t dmDuplex = 0;    // 1 one-sided, 2 long edge, 3 short edge
    std::int16_t dmPaperSize = 0; // DMPAPER_*
    std::u16string dmFormName;    // at most 31 units

    friend bool operator==(const DeviceModeDetails&, const DeviceModeDetails&) = default;
};

struct JobRecord {
    std::uint32_t jobId = 0;
    // Whole texts; an absent optional is a null pointer from the spooler.
    std::optional<std::u16string> printerName;
    std::optional<std::u16string> machineName;
    std::optional<std::u16string> userName;
    std::optional<std::u16string> document;
    std::optional<std::u16string> notifyName;
    std::optional<std::u16string> datatype;
    std::optional<std::u16string> printProcessor;
    std::optional<std::u16string> parameters;
    std::optional<std::u16string> driverName;
    // The device-mode fields that count copies and describe the printout;
    // hasDevMode is false for a job that came with no device mode at all.
    bool hasDevMode = false;
    std::uint32_t dmFields = 0;
    std::int16_t dmCopies = 0;
    DeviceModeDetails details;
    std::optional<std::u16string> statusText; // pStatus
    std::uint32_t status = 0;
    std::uint32_t priority = 0;
    std::uint32_t position = 0;
    std::uint32_t startTime = 0;
    std::uint32_t untilTime = 0;
    std::uint32_t totalPages = 0;
    std::uint32_t size = 0;
    DateTime submitted; // UTC
    std::uint32_t time = 0;
    std::uint32_t pagesPrinted = 0;
};
